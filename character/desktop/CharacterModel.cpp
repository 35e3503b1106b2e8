#include "CharacterModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStandardPaths>
#include <QSvgRenderer>

#include <cmath>

namespace kestrova::character {

namespace {

const QString kRoot = QStringLiteral("root");
const QString kRest = QStringLiteral("rest");

const QStringList &knownStates()
{
    static const QStringList states = {
        QStringLiteral("showing"),         QStringLiteral("hiding"),
        QStringLiteral("speaking"),        QStringLiteral("thinking"),
        QStringLiteral("moving-left"),     QStringLiteral("moving-right"),
        QStringLiteral("moving-up"),       QStringLiteral("moving-down"),
        QStringLiteral("gesturing-left"),  QStringLiteral("gesturing-right"),
        QStringLiteral("gesturing-up"),    QStringLiteral("gesturing-down"),
        QStringLiteral("listening"),       QStringLiteral("hearing"),
        QStringLiteral("idle"),
    };
    return states;
}

QString quoted(const QString &s) { return QLatin1Char('"') + s + QLatin1Char('"'); }

double lerp(double a, double b, double t) { return a + (b - a) * t; }

// Reads character.json and checks every reference in it. Each check that
// fails leaves one sentence in `error` and makes load() give up.
class Loader {
public:
    explicit Loader(const QString &folder) : m_folder(QDir(folder).absolutePath())
    {
        m_jsonPath = QDir(m_folder).filePath(QStringLiteral("character.json"));
    }

    std::optional<CharacterModel> load();
    QString error;

private:
    bool fail(const QString &fault)
    {
        error = m_jsonPath + QStringLiteral(": ") + fault;
        if (!error.endsWith(QLatin1Char('.')))
            error += QLatin1Char('.');
        return false;
    }

    bool readPoint(const QJsonObject &o, const QString &key, QPointF *out, const QString &where);
    bool readParts(const QJsonValue &v);
    bool checkPartChanges(const QJsonObject &changes, const QString &where);
    bool checkPoseChanges(const QJsonValue &v, const QString &where);
    bool readPoses(const QJsonValue &v);
    bool readAnimations(const QJsonValue &v);
    bool readAnimation(const QString &name, const QJsonObject &o, Animation *out);
    bool readStates(const QJsonValue &v);
    bool readVoice(const QJsonValue &v);
    bool checkArt(const QString &artName);

    static void applyPartChanges(const QJsonObject &changes, PartPose &pp);
    void applyPoseChanges(const QJsonObject &changes, Pose &pose) const;
    void useElement(const QString &element, const QString &where)
    {
        if (!element.isEmpty() && !m_elementUses.contains(element))
            m_elementUses.insert(element, where);
    }

    QString m_folder;
    QString m_jsonPath;
    CharacterModel m_model;
    QSet<QString> m_partIds;
    QHash<QString, QJsonObject> m_poseChanges;
    QHash<QString, QString> m_elementUses; // element id -> first place that names it
};

bool Loader::readPoint(const QJsonObject &o, const QString &key, QPointF *out, const QString &where)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined())
        return true;
    const QJsonArray a = v.toArray();
    if (!v.isArray() || a.size() != 2 || !a.at(0).isDouble() || !a.at(1).isDouble())
        return fail(where + quoted(key) + QStringLiteral(" must be a list of two numbers, like [64, 120]"));
    *out = QPointF(a.at(0).toDouble(), a.at(1).toDouble());
    return true;
}

bool Loader::readParts(const QJsonValue &v)
{
    if (!v.isArray() || v.toArray().isEmpty())
        return fail(QStringLiteral("\"parts\" must be a non-empty list of parts"));
    const QJsonArray parts = v.toArray();
    for (int i = 0; i < parts.size(); ++i) {
        const QJsonObject o = parts.at(i).toObject();
        Part part;
        part.id = o.value(QStringLiteral("id")).toString();
        if (part.id.isEmpty())
            return fail(QStringLiteral("part %1 in \"parts\" has no \"id\"").arg(i));
        if (part.id == kRoot)
            return fail(QStringLiteral("\"root\" is reserved for the whole character and cannot be a part's id"));
        if (m_partIds.contains(part.id))
            return fail(QStringLiteral("part %1 is listed twice in \"parts\"").arg(quoted(part.id)));
        part.element = o.value(QStringLiteral("element")).toString(part.id);
        part.parent = o.value(QStringLiteral("parent")).toString();
        const QString where = QStringLiteral("part %1: ").arg(quoted(part.id));
        if (!readPoint(o, QStringLiteral("pivot"), &part.pivot, where))
            return false;
        useElement(part.element, QStringLiteral("part ") + quoted(part.id));
        m_partIds.insert(part.id);
        m_model.parts.append(part);
    }
    // Parents must exist and must not lead back to the part itself.
    QHash<QString, QString> parentOf;
    for (const Part &p : std::as_const(m_model.parts))
        parentOf.insert(p.id, p.parent);
    for (const Part &p : std::as_const(m_model.parts)) {
        if (p.parent.isEmpty() || p.parent == kRoot)
            continue;
        if (!m_partIds.contains(p.parent))
            return fail(QStringLiteral("part %1 is attached to %2, which is not a part")
                            .arg(quoted(p.id), quoted(p.parent)));
        QString at = p.parent;
        for (int steps = 0; !at.isEmpty() && at != kRoot; ++steps) {
            if (at == p.id || steps > m_model.parts.size())
                return fail(QStringLiteral("part %1 is attached to itself through its parents")
                                .arg(quoted(p.id)));
            at = parentOf.value(at);
        }
    }
    return true;
}

bool Loader::checkPartChanges(const QJsonObject &changes, const QString &where)
{
    static const QStringList numeric = {
        QStringLiteral("dx"),     QStringLiteral("dy"),     QStringLiteral("rotation"),
        QStringLiteral("scaleX"), QStringLiteral("scaleY"), QStringLiteral("scale"),
        QStringLiteral("opacity"),
    };
    for (auto it = changes.begin(); it != changes.end(); ++it) {
        if (it.key() == QLatin1String("element")) {
            if (!it.value().isString() || it.value().toString().isEmpty())
                return fail(where + QStringLiteral("\"element\" must be an SVG element id"));
            useElement(it.value().toString(), where.chopped(2));
            continue;
        }
        if (!numeric.contains(it.key()))
            return fail(where + QStringLiteral("%1 is not something a pose sets; use dx, dy, rotation, "
                                               "scale, scaleX, scaleY, opacity or element")
                                    .arg(quoted(it.key())));
        if (!it.value().isDouble())
            return fail(where + QStringLiteral("%1 must be a number").arg(quoted(it.key())));
        if (it.key() == QLatin1String("opacity")) {
            const double o = it.value().toDouble();
            if (o < 0 || o > 1)
                return fail(where + QStringLiteral("\"opacity\" must be between 0 and 1, not %1").arg(o));
        }
    }
    return true;
}

bool Loader::checkPoseChanges(const QJsonValue &v, const QString &where)
{
    if (!v.isObject())
        return fail(where + QStringLiteral("must be an object of parts, like {\"head\": {\"rotation\": 5}}"));
    const QJsonObject changes = v.toObject();
    for (auto it = changes.begin(); it != changes.end(); ++it) {
        const QString partWhere = where + QStringLiteral("part %1: ").arg(quoted(it.key()));
        if (it.key() != kRoot && !m_partIds.contains(it.key()))
            return fail(where + QStringLiteral("there is no part %1").arg(quoted(it.key())));
        if (!it.value().isObject())
            return fail(partWhere + QStringLiteral("must be an object like {\"dx\": 2}"));
        if (it.key() == kRoot && it.value().toObject().contains(QStringLiteral("element")))
            return fail(partWhere + QStringLiteral("the root has no element of its own"));
        if (!checkPartChanges(it.value().toObject(), partWhere))
            return false;
    }
    return true;
}

void Loader::applyPartChanges(const QJsonObject &changes, PartPose &pp)
{
    for (auto it = changes.begin(); it != changes.end(); ++it) {
        const QString &k = it.key();
        const double d = it.value().toDouble();
        if (k == QLatin1String("dx")) pp.dx = d;
        else if (k == QLatin1String("dy")) pp.dy = d;
        else if (k == QLatin1String("rotation")) pp.rotation = d;
        else if (k == QLatin1String("scaleX")) pp.scaleX = d;
        else if (k == QLatin1String("scaleY")) pp.scaleY = d;
        else if (k == QLatin1String("scale")) pp.scaleX = pp.scaleY = d;
        else if (k == QLatin1String("opacity")) pp.opacity = d;
        else if (k == QLatin1String("element")) pp.element = it.value().toString();
    }
}

void Loader::applyPoseChanges(const QJsonObject &changes, Pose &pose) const
{
    for (auto it = changes.begin(); it != changes.end(); ++it)
        applyPartChanges(it.value().toObject(), pose[it.key()]);
}

bool Loader::readPoses(const QJsonValue &v)
{
    if (!v.isUndefined() && !v.isObject())
        return fail(QStringLiteral("\"poses\" must be an object of named poses"));
    const QJsonObject poses = v.toObject();
    for (auto it = poses.begin(); it != poses.end(); ++it) {
        if (!checkPoseChanges(it.value(), QStringLiteral("pose %1: ").arg(quoted(it.key()))))
            return false;
        m_poseChanges.insert(it.key(), it.value().toObject());
    }

    // Rest: every part as drawn, then whatever "rest" changes.
    Pose rest;
    rest.insert(kRoot, PartPose());
    for (const Part &p : std::as_const(m_model.parts)) {
        PartPose pp;
        pp.element = p.element;
        rest.insert(p.id, pp);
    }
    applyPoseChanges(m_poseChanges.value(kRest), rest);
    m_model.restPose = rest;
    m_model.poses.insert(kRest, rest);
    for (auto it = m_poseChanges.cbegin(); it != m_poseChanges.cend(); ++it) {
        if (it.key() == kRest)
            continue;
        Pose pose = rest;
        applyPoseChanges(it.value(), pose);
        m_model.poses.insert(it.key(), pose);
    }
    return true;
}

bool Loader::readAnimation(const QString &name, const QJsonObject &o, Animation *out)
{
    out->name = name;
    const QString where = QStringLiteral("animation %1").arg(quoted(name));
    const QJsonValue framesValue = o.value(QStringLiteral("frames"));
    if (!framesValue.isArray() || framesValue.toArray().isEmpty())
        return fail(where + QStringLiteral(" needs a non-empty list of \"frames\""));
    const QJsonArray frames = framesValue.toArray();
    const int count = frames.size();

    int defaultExit = -1;
    if (o.contains(QStringLiteral("exit"))) {
        const QJsonValue e = o.value(QStringLiteral("exit"));
        if (!e.isDouble() || e.toInt(-2) < -1 || e.toInt() >= count)
            return fail(where + QStringLiteral(": \"exit\" must be a frame index from 0 to %1").arg(count - 1));
        defaultExit = e.toInt();
    }
    out->returnAnimation = o.value(QStringLiteral("return")).toString();

    for (int i = 0; i < count; ++i) {
        const QString fw = where + QStringLiteral(", frame %1").arg(i);
        if (!frames.at(i).isObject())
            return fail(fw + QStringLiteral(" must be an object"));
        const QJsonObject fo = frames.at(i).toObject();
        Frame frame;

        const QJsonValue duration = fo.value(QStringLiteral("duration"));
        if (!duration.isDouble())
            return fail(fw + QStringLiteral(" has no \"duration\" in milliseconds"));
        if (duration.toDouble() <= 0 || std::floor(duration.toDouble()) != duration.toDouble())
            return fail(fw + QStringLiteral(": the duration must be a positive whole number of "
                                            "milliseconds, not %1")
                                 .arg(duration.toDouble()));
        frame.durationMs = duration.toInt();
        frame.tween = fo.value(QStringLiteral("tween")).toBool(false);
        frame.sound = fo.value(QStringLiteral("sound")).toString();

        // The pose: rest, then each named pose in order, then the overrides.
        frame.pose = m_model.restPose;
        const QJsonValue poseValue = fo.value(QStringLiteral("pose"));
        QStringList poseNames;
        if (poseValue.isString()) {
            poseNames << poseValue.toString();
        } else if (poseValue.isArray()) {
            for (const QJsonValue &pv : poseValue.toArray())
                poseNames << pv.toString();
        } else if (!poseValue.isUndefined()) {
            return fail(fw + QStringLiteral(": \"pose\" must be a pose name or a list of pose names"));
        }
        for (const QString &pn : std::as_const(poseNames)) {
            if (!m_poseChanges.contains(pn) && pn != kRest)
                return fail(fw + QStringLiteral(" uses the pose %1, which is not in \"poses\"").arg(quoted(pn)));
            applyPoseChanges(m_poseChanges.value(pn), frame.pose);
        }
        const QJsonValue overrides = fo.value(QStringLiteral("parts"));
        if (!overrides.isUndefined()) {
            if (!checkPoseChanges(overrides, fw + QStringLiteral(": ")))
                return false;
            applyPoseChanges(overrides.toObject(), frame.pose);
        }

        const QJsonValue branches = fo.value(QStringLiteral("branches"));
        if (!branches.isUndefined() && !branches.isArray())
            return fail(fw + QStringLiteral(": \"branches\" must be a list like [{\"to\": 0, \"probability\": 50}]"));
        int total = 0;
        for (const QJsonValue &bv : branches.toArray()) {
            const QJsonObject bo = bv.toObject();
            Branch b;
            const QJsonValue to = bo.value(QStringLiteral("to"));
            const QJsonValue pr = bo.value(QStringLiteral("probability"));
            if (!to.isDouble() || !pr.isDouble())
                return fail(fw + QStringLiteral(": each branch needs a \"to\" frame and a \"probability\" in percent"));
            b.toFrame = to.toInt(-1);
            b.probability = pr.toInt(-1);
            if (b.toFrame < 0 || b.toFrame >= count)
                return fail(fw + QStringLiteral(" branches to frame %1, but the animation has frames 0 to %2")
                                     .arg(to.toDouble())
                                     .arg(count - 1));
            if (b.probability < 1 || b.probability > 100)
                return fail(fw + QStringLiteral(": a branch probability must be from 1 to 100 percent, not %1")
                                     .arg(pr.toDouble()));
            total += b.probability;
            frame.branches.append(b);
        }
        if (total > 100)
            return fail(fw + QStringLiteral(": the branch probabilities add up to %1 percent, more than 100").arg(total));

        const QJsonValue exit = fo.value(QStringLiteral("exit"));
        if (exit.isUndefined()) {
            frame.exitTo = i < defaultExit ? defaultExit : -1;
        } else if (!exit.isDouble() || exit.toInt(-2) < -1 || exit.toInt() >= count) {
            return fail(fw + QStringLiteral(": \"exit\" must be a frame index from 0 to %1, or -1").arg(count - 1));
        } else {
            frame.exitTo = exit.toInt();
        }
        out->frames.append(frame);
    }
    return true;
}

bool Loader::readAnimations(const QJsonValue &v)
{
    if (!v.isObject() || v.toObject().isEmpty())
        return fail(QStringLiteral("\"animations\" must be an object of named animations"));
    const QJsonObject animations = v.toObject();
    for (auto it = animations.begin(); it != animations.end(); ++it) {
        const QString key = it.key().toLower();
        if (m_model.animations.contains(key))
            return fail(QStringLiteral("the animations %1 and %2 differ only in case")
                            .arg(quoted(m_model.animations.value(key).name), quoted(it.key())));
        if (!it.value().isObject())
            return fail(QStringLiteral("animation %1 must be an object with \"frames\"").arg(quoted(it.key())));
        Animation a;
        if (!readAnimation(it.key(), it.value().toObject(), &a))
            return false;
        m_model.animations.insert(key, a);
    }
    for (const Animation &a : std::as_const(m_model.animations)) {
        if (!a.returnAnimation.isEmpty() && !m_model.animations.contains(a.returnAnimation.toLower()))
            return fail(QStringLiteral("animation %1 returns through %2, which is not an animation")
                            .arg(quoted(a.name), quoted(a.returnAnimation)));
    }
    return true;
}

bool Loader::readStates(const QJsonValue &v)
{
    if (!v.isUndefined() && !v.isObject())
        return fail(QStringLiteral("\"states\" must be an object of state names and animation names"));
    const QJsonObject states = v.toObject();
    for (auto it = states.begin(); it != states.end(); ++it) {
        if (!knownStates().contains(it.key()))
            return fail(QStringLiteral("%1 is not a state; the states are %2")
                            .arg(quoted(it.key()), knownStates().join(QStringLiteral(", "))));
        const QString anim = it.value().toString();
        if (!m_model.animations.contains(anim.toLower()))
            return fail(QStringLiteral("state %1 plays %2, which is not an animation")
                            .arg(quoted(it.key()), quoted(anim)));
        m_model.states.insert(it.key(), anim);
    }
    return true;
}

bool Loader::readVoice(const QJsonValue &v)
{
    if (v.isUndefined())
        return true;
    if (!v.isObject())
        return fail(QStringLiteral("\"voice\" must be an object like {\"locale\": \"en_US\"}"));
    const QJsonObject o = v.toObject();
    VoiceSettings &voice = m_model.voice;
    voice.locale = o.value(QStringLiteral("locale")).toString(voice.locale);
    voice.gender = o.value(QStringLiteral("gender")).toString();
    if (!voice.gender.isEmpty() && voice.gender != QLatin1String("male")
        && voice.gender != QLatin1String("female"))
        return fail(QStringLiteral("the voice's \"gender\" must be \"male\", \"female\" or left out"));
    voice.rate = o.value(QStringLiteral("rate")).toDouble(0);
    voice.pitch = o.value(QStringLiteral("pitch")).toDouble(0);
    if (voice.rate < -1 || voice.rate > 1 || voice.pitch < -1 || voice.pitch > 1)
        return fail(QStringLiteral("the voice's \"rate\" and \"pitch\" must be between -1 and 1"));
    return true;
}

bool Loader::checkArt(const QString &artName)
{
    m_model.artFile = QDir(m_folder).absoluteFilePath(artName);
    if (!QFileInfo(m_model.artFile).isFile())
        return fail(QStringLiteral("the art file %1 does not exist").arg(m_model.artFile));
    QSvgRenderer svg;
    if (!svg.load(m_model.artFile) || !svg.isValid())
        return fail(QStringLiteral("the art file %1 is not a valid SVG file").arg(m_model.artFile));
    for (auto it = m_elementUses.cbegin(); it != m_elementUses.cend(); ++it) {
        if (!svg.elementExists(it.key()))
            return fail(QStringLiteral("%1 names the element %2, but %3 has no element with that id")
                            .arg(it.value(), quoted(it.key()), m_model.artFile));
    }
    return true;
}

std::optional<CharacterModel> Loader::load()
{
    QFile file(m_jsonPath);
    if (!file.exists()) {
        error = QStringLiteral("%1 does not exist; a character folder needs one.").arg(m_jsonPath);
        return std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1 cannot be read: %2.").arg(m_jsonPath, file.errorString());
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = QStringLiteral("%1 is not valid JSON: %2 at offset %3.")
                    .arg(m_jsonPath, parseError.errorString())
                    .arg(parseError.offset);
        return std::nullopt;
    }
    if (!doc.isObject()) {
        fail(QStringLiteral("the file must hold one JSON object"));
        return std::nullopt;
    }
    const QJsonObject root = doc.object();

    m_model.folder = m_folder;
    m_model.id = QFileInfo(m_folder).fileName();
    m_model.name = root.value(QStringLiteral("name")).toString(m_model.id);
    m_model.description = root.value(QStringLiteral("description")).toString();

    const QJsonArray size = root.value(QStringLiteral("size")).toArray();
    if (size.size() != 2 || size.at(0).toInt() <= 0 || size.at(1).toInt() <= 0) {
        fail(QStringLiteral("\"size\" must be the frame's width and height in pixels, like [128, 128]"));
        return std::nullopt;
    }
    m_model.size = QSize(size.at(0).toInt(), size.at(1).toInt());
    m_model.rootPivot = QPointF(m_model.size.width() / 2.0, m_model.size.height());
    m_model.balloonAnchor = QPointF(m_model.size.width() / 2.0, 0);

    if (!readPoint(root, QStringLiteral("rootPivot"), &m_model.rootPivot, QString())
        || !readPoint(root, QStringLiteral("balloonAnchor"), &m_model.balloonAnchor, QString())
        || !readVoice(root.value(QStringLiteral("voice")))
        || !readParts(root.value(QStringLiteral("parts")))
        || !readPoses(root.value(QStringLiteral("poses")))
        || !readAnimations(root.value(QStringLiteral("animations")))
        || !readStates(root.value(QStringLiteral("states"))))
        return std::nullopt;

    const QJsonValue mouth = root.value(QStringLiteral("mouthShapes"));
    if (!mouth.isUndefined()) {
        if (!mouth.isArray()) {
            fail(QStringLiteral("\"mouthShapes\" must be a list of element ids"));
            return std::nullopt;
        }
        if (!m_partIds.contains(QStringLiteral("mouth"))) {
            fail(QStringLiteral("\"mouthShapes\" is given, but there is no part \"mouth\" to show them"));
            return std::nullopt;
        }
        for (const QJsonValue &m : mouth.toArray()) {
            m_model.mouthShapes << m.toString();
            useElement(m.toString(), QStringLiteral("\"mouthShapes\""));
        }
    }

    if (!checkArt(root.value(QStringLiteral("art")).toString(QStringLiteral("art.svg"))))
        return std::nullopt;
    return m_model;
}

} // namespace

Pose interpolatePose(const Pose &a, const Pose &b, double t)
{
    Pose out = a;
    for (auto it = b.cbegin(); it != b.cend(); ++it) {
        const auto found = a.constFind(it.key());
        if (found == a.cend()) {
            out.insert(it.key(), it.value());
            continue;
        }
        const PartPose &from = found.value();
        const PartPose &to = it.value();
        PartPose &p = out[it.key()];
        p.dx = lerp(from.dx, to.dx, t);
        p.dy = lerp(from.dy, to.dy, t);
        p.rotation = lerp(from.rotation, to.rotation, t);
        p.scaleX = lerp(from.scaleX, to.scaleX, t);
        p.scaleY = lerp(from.scaleY, to.scaleY, t);
        p.opacity = lerp(from.opacity, to.opacity, t);
        p.element = t >= 0.5 ? to.element : from.element;
    }
    return out;
}

std::optional<CharacterModel> CharacterModel::load(const QString &folder, QString *error)
{
    Loader loader(folder);
    std::optional<CharacterModel> model = loader.load();
    if (error)
        *error = model ? QString() : loader.error;
    return model;
}

const Animation *CharacterModel::animation(const QString &name) const
{
    const auto it = animations.constFind(name.toLower());
    return it == animations.cend() ? nullptr : &it.value();
}

const Animation *CharacterModel::stateAnimation(const QString &state) const
{
    const auto it = states.constFind(state);
    return it == states.cend() ? nullptr : animation(it.value());
}

QStringList characterFolders(const QString &programDir)
{
    QStringList folders;
    const QString user = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!user.isEmpty())
        folders << user + QStringLiteral("/Kestrova/characters");
    folders << QDir(programDir).filePath(QStringLiteral("characters"));
    return folders;
}

QHash<QString, QString> availableCharacters(const QString &programDir)
{
    QHash<QString, QString> found;
    for (const QString &base : characterFolders(programDir)) {
        const QDir dir(base);
        const QStringList subs = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString &sub : subs) {
            // A character in the user's folder hides a program one of the same name.
            if (found.contains(sub) || !QFileInfo(dir.filePath(sub + QStringLiteral("/character.json"))).isFile())
                continue;
            found.insert(sub, dir.absoluteFilePath(sub));
        }
    }
    return found;
}

} // namespace kestrova::character
