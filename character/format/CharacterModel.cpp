// The character model and its reader. Past 700 lines on purpose: most of it
// is one class, Loader, that reads character.json and the art within their
// bounds and notes every fault in its place; its parts share its state.
#include "CharacterModel.h"
#include "CharacterLoader.h"
#include "WavParts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <cmath>

namespace kestrova::character {

namespace {
// Whether an existing file of a character's folder ends outside it: a link
// may lead anywhere, so where it ends must be in the folder too.
bool leadsOutOf(const QString &folder, const QString &file)
{
    return !QFileInfo(file).canonicalFilePath().startsWith(QFileInfo(folder).canonicalFilePath() + u'/');
}


const QString kRoot = QStringLiteral("root");
const QString kRest = QStringLiteral("rest");
const QString kJsonFile = QStringLiteral("character.json");
// The key older files give the first idle level.
const QString kOldIdle = QStringLiteral("idle");
const QString kFirstIdle = QStringLiteral("idle-1");

QString quoted(const QString &s) { return QLatin1Char('"') + s + QLatin1Char('"'); }

double lerp(double a, double b, double t) { return a + (b - a) * t; }

// Reads character.json and checks every reference in it. A fault is noted
// with its place and reading goes on past it, leaving the faulty entry out
// (or at its default), so one pass finds them all.
class Loader {
public:
    explicit Loader(const QString &folder) : m_folder(QDir(folder).absolutePath()) {}

    LoadOutcome run();

private:
    void fault(const QString &path, const QString &words, const QString &message)
    {
        m_out.faults.append({kJsonFile, path, words, message});
    }

    void readPoint(const QJsonObject &o, const QString &key, QPointF *out, const QString &path,
                   const QString &words);
    void readVoice(const QJsonValue &v);
    void readParts(const QJsonValue &v);
    QJsonObject checkPartChanges(const QJsonObject &changes, const QString &path, const QString &words);
    QJsonObject checkPoseChanges(const QJsonValue &v, const QString &path, const QString &words);
    void readPoses(const QJsonValue &v);
    void readAnimations(const QJsonValue &v);
    void readAnimation(const QString &name, const QJsonObject &o, Animation *out);
    void readFrame(const QJsonValue &v, int index, int count, int defaultExit, const QString &path,
                   const QString &words, Frame *frame);
    void readStates(const QJsonValue &v);
    void readMouthShapes(const QJsonValue &v);
    void checkArt(const QJsonValue &v);

    static void applyPartChanges(const QJsonObject &changes, PartPose &pp);
    static void applyPoseChanges(const QJsonObject &changes, Pose &pose);

    // Element ids in the order they are first named, with that place and how
    // many places name them.
    struct ElementUse {
        QString element;
        QString where;
        int uses = 0;
    };
    void useElement(const QString &element, const QString &where)
    {
        if (element.isEmpty())
            return;
        const auto it = m_elementIndex.constFind(element);
        if (it != m_elementIndex.cend()) {
            ++m_elementUses[*it].uses;
            return;
        }
        m_elementIndex.insert(element, m_elementUses.size());
        m_elementUses.append({element, where, 1});
    }

    QString m_folder;
    LoadOutcome m_out;
    CharacterModel &m_model = m_out.model;
    QSet<QString> m_partIds;
    QHash<QString, QJsonObject> m_poseChanges; // checked changes of each named pose
    QList<ElementUse> m_elementUses;
    QHash<QString, int> m_elementIndex;
};

void Loader::readPoint(const QJsonObject &o, const QString &key, QPointF *out, const QString &path,
                       const QString &words)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined())
        return;
    const QJsonArray a = v.toArray();
    if (!v.isArray() || a.size() != 2 || !a.at(0).isDouble() || !a.at(1).isDouble()) {
        fault(path, words, quoted(key) + QStringLiteral(" must be a list of two numbers, like [64, 120]"));
        return;
    }
    *out = QPointF(a.at(0).toDouble(), a.at(1).toDouble());
}

void Loader::readVoice(const QJsonValue &v)
{
    if (v.isUndefined())
        return;
    const QString words = QStringLiteral("the voice");
    if (!v.isObject()) {
        fault(QStringLiteral("voice"), QString(), QStringLiteral("\"voice\" must be an object like {\"locale\": \"en_US\"}"));
        return;
    }
    const QJsonObject o = v.toObject();
    VoiceSettings &voice = m_model.voice;
    const QJsonValue locale = o.value(QStringLiteral("locale"));
    if (!locale.isUndefined() && (!locale.isString() || locale.toString().isEmpty()))
        fault(QStringLiteral("voice.locale"), words, QStringLiteral("\"locale\" must be a language and country, like \"en_US\""));
    else
        voice.locale = locale.toString(voice.locale);
    const QJsonValue gender = o.value(QStringLiteral("gender"));
    if (!gender.isUndefined() && gender.toString() != QLatin1String("male")
        && gender.toString() != QLatin1String("female"))
        fault(QStringLiteral("voice.gender"), words, QStringLiteral("\"gender\" must be \"male\", \"female\" or left out"));
    else
        voice.gender = gender.toString();
    for (const QString &key : {QStringLiteral("rate"), QStringLiteral("pitch")}) {
        const QJsonValue value = o.value(key);
        if (value.isUndefined())
            continue;
        if (!value.isDouble() || value.toDouble() < -1 || value.toDouble() > 1) {
            fault(QStringLiteral("voice.") + key, words,
                  quoted(key) + QStringLiteral(" must be a number from -1 to 1"));
            continue;
        }
        (key == QLatin1String("rate") ? voice.rate : voice.pitch) = value.toDouble();
    }
    const QJsonValue engine = o.value(QStringLiteral("engine"));
    if (!engine.isUndefined() && engine.toString() != QLatin1String("flite") && engine.toString() != QLatin1String("system"))
        fault(QStringLiteral("voice.engine"), words, QStringLiteral("\"engine\" must be \"system\", \"flite\" or left out"));
    else
        voice.engine = engine.toString();
    const QJsonValue name = o.value(QStringLiteral("name"));
    if (!name.isUndefined() && name.toString() != QLatin1String("slt") && name.toString() != QLatin1String("rms"))
        fault(QStringLiteral("voice.name"), words, QStringLiteral("\"name\" must be one of flite's voices, \"slt\" or \"rms\", or left out"));
    else
        voice.name = name.toString();
}

void Loader::readParts(const QJsonValue &v)
{
    if (!v.isArray() || v.toArray().isEmpty()) {
        fault(QStringLiteral("parts"), QString(), QStringLiteral("\"parts\" must be a non-empty list of parts"));
        return;
    }
    const QJsonArray parts = v.toArray();
    QHash<QString, int> indexOf;
    for (int i = 0; i < parts.size(); ++i) {
        const QString path = QStringLiteral("parts[%1]").arg(i);
        if (!parts.at(i).isObject()) {
            fault(path, QStringLiteral("part %1").arg(i),
                  QStringLiteral("a part must be an object like {\"id\": \"head\", \"pivot\": [64, 70]}"));
            continue;
        }
        const QJsonObject o = parts.at(i).toObject();
        Part part;
        part.id = o.value(QStringLiteral("id")).toString();
        if (part.id.isEmpty()) {
            fault(path + QStringLiteral(".id"), QStringLiteral("part %1").arg(i),
                  QStringLiteral("the part has no \"id\""));
            continue;
        }
        if (part.id == kRoot) {
            fault(path + QStringLiteral(".id"), QString(),
                  QStringLiteral("\"root\" is reserved for the whole character and cannot be a part's id"));
            continue;
        }
        if (m_partIds.contains(part.id)) {
            fault(path + QStringLiteral(".id"), QString(),
                  QStringLiteral("part %1 is listed twice in \"parts\"").arg(quoted(part.id)));
            continue;
        }
        const QString words = QStringLiteral("part ") + quoted(part.id);
        const QJsonValue element = o.value(QStringLiteral("element"));
        if (!element.isUndefined() && (!element.isString() || element.toString().isEmpty()))
            fault(path + QStringLiteral(".element"), words, QStringLiteral("\"element\" must be an SVG element id"));
        part.element = element.isString() && !element.toString().isEmpty() ? element.toString() : part.id;
        const QJsonValue parent = o.value(QStringLiteral("parent"));
        if (!parent.isUndefined() && !parent.isString())
            fault(path + QStringLiteral(".parent"), words, QStringLiteral("\"parent\" must be the id of another part"));
        part.parent = parent.toString();
        readPoint(o, QStringLiteral("pivot"), &part.pivot, path + QStringLiteral(".pivot"), words);
        useElement(part.element, words);
        m_partIds.insert(part.id);
        indexOf.insert(part.id, i);
        m_model.parts.append(part);
    }
    // Parents must exist and must not lead back to the part itself. A part
    // with a faulty parent is attached to the root instead.
    QHash<QString, QString> parentOf;
    for (const Part &p : std::as_const(m_model.parts))
        parentOf.insert(p.id, p.parent);
    for (Part &p : m_model.parts) {
        if (p.parent.isEmpty() || p.parent == kRoot)
            continue;
        const QString path = QStringLiteral("parts[%1].parent").arg(indexOf.value(p.id));
        const QString words = QStringLiteral("part ") + quoted(p.id);
        if (!m_partIds.contains(p.parent)) {
            fault(path, words, QStringLiteral("attached to %1, which is not a part").arg(quoted(p.parent)));
            p.parent.clear();
            continue;
        }
        QString at = p.parent;
        for (int steps = 0; !at.isEmpty() && at != kRoot; ++steps) {
            if (at == p.id || steps > m_model.parts.size()) {
                fault(path, words, QStringLiteral("attached to itself through its parents"));
                break;
            }
            at = parentOf.value(at);
        }
    }
    // Only now, so that every part of a circle is reported.
    for (Part &p : m_model.parts) {
        QString at = p.parent;
        for (int steps = 0; !at.isEmpty() && at != kRoot; ++steps) {
            if (at == p.id || steps > m_model.parts.size()) {
                p.parent.clear();
                break;
            }
            at = parentOf.value(at);
        }
    }
}

QJsonObject Loader::checkPartChanges(const QJsonObject &changes, const QString &path, const QString &words)
{
    static const QStringList numeric = {
        QStringLiteral("dx"),     QStringLiteral("dy"),     QStringLiteral("rotation"),
        QStringLiteral("scaleX"), QStringLiteral("scaleY"), QStringLiteral("scale"),
        QStringLiteral("opacity"),
    };
    QJsonObject sound;
    for (auto it = changes.begin(); it != changes.end(); ++it) {
        const QString fieldPath = path + jsonKey(it.key());
        if (it.key() == QLatin1String("element")) {
            if (!it.value().isString() || it.value().toString().isEmpty()) {
                fault(fieldPath, words, QStringLiteral("\"element\" must be an SVG element id"));
                continue;
            }
            useElement(it.value().toString(), words);
            sound.insert(it.key(), it.value());
            continue;
        }
        if (!numeric.contains(it.key())) {
            fault(fieldPath, words,
                  QStringLiteral("%1 is not something a pose sets; use dx, dy, rotation, "
                                 "scale, scaleX, scaleY, opacity or element")
                      .arg(quoted(it.key())));
            continue;
        }
        if (!it.value().isDouble()) {
            fault(fieldPath, words, QStringLiteral("%1 must be a number").arg(quoted(it.key())));
            continue;
        }
        if (it.key() == QLatin1String("opacity")) {
            const double o = it.value().toDouble();
            if (o < 0 || o > 1) {
                fault(fieldPath, words, QStringLiteral("\"opacity\" must be between 0 and 1, not %1").arg(o));
                continue;
            }
        }
        sound.insert(it.key(), it.value());
    }
    return sound;
}

QJsonObject Loader::checkPoseChanges(const QJsonValue &v, const QString &path, const QString &words)
{
    if (!v.isObject()) {
        fault(path, words, QStringLiteral("must be an object of parts, like {\"head\": {\"rotation\": 5}}"));
        return {};
    }
    const QJsonObject changes = v.toObject();
    QJsonObject sound;
    for (auto it = changes.begin(); it != changes.end(); ++it) {
        const QString partPath = path + jsonKey(it.key());
        const QString partWords = words + QStringLiteral(", part ") + quoted(it.key());
        if (it.key() != kRoot && !m_partIds.contains(it.key())) {
            fault(partPath, words, QStringLiteral("there is no part %1").arg(quoted(it.key())));
            continue;
        }
        if (!it.value().isObject()) {
            fault(partPath, partWords, QStringLiteral("must be an object like {\"dx\": 2}"));
            continue;
        }
        QJsonObject part = it.value().toObject();
        if (it.key() == kRoot && part.contains(QStringLiteral("element"))) {
            fault(partPath + QStringLiteral(".element"), partWords, QStringLiteral("the root has no element of its own"));
            part.remove(QStringLiteral("element"));
        }
        sound.insert(it.key(), checkPartChanges(part, partPath, partWords));
    }
    return sound;
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

void Loader::applyPoseChanges(const QJsonObject &changes, Pose &pose)
{
    for (auto it = changes.begin(); it != changes.end(); ++it)
        applyPartChanges(it.value().toObject(), pose[it.key()]);
}

void Loader::readPoses(const QJsonValue &v)
{
    if (!v.isUndefined() && !v.isObject())
        fault(QStringLiteral("poses"), QString(), QStringLiteral("\"poses\" must be an object of named poses"));
    const QJsonObject poses = v.toObject();
    for (auto it = poses.begin(); it != poses.end(); ++it)
        m_poseChanges.insert(it.key(), checkPoseChanges(it.value(), QStringLiteral("poses") + jsonKey(it.key()),
                                                        QStringLiteral("pose ") + quoted(it.key())));

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
}

void Loader::readFrame(const QJsonValue &v, int index, int count, int defaultExit, const QString &path,
                       const QString &words, Frame *frame)
{
    frame->pose = m_model.restPose;
    frame->exitTo = index < defaultExit ? defaultExit : -1;
    if (!v.isObject()) {
        fault(path, words, QStringLiteral("a frame must be an object like {\"pose\": \"rest\", \"duration\": 100}"));
        return;
    }
    const QJsonObject fo = v.toObject();

    const QJsonValue duration = fo.value(QStringLiteral("duration"));
    if (!duration.isDouble()) {
        fault(path + QStringLiteral(".duration"), words,
              QStringLiteral("a frame needs a \"duration\" in whole milliseconds"));
    } else if (duration.toDouble() <= 0 || std::floor(duration.toDouble()) != duration.toDouble()) {
        fault(path + QStringLiteral(".duration"), words,
              QStringLiteral("the duration must be a positive whole number of milliseconds, not %1")
                  .arg(duration.toDouble()));
    } else if (duration.toDouble() > limits::FrameMs) {
        fault(path + QStringLiteral(".duration"), words,
              QStringLiteral("the duration of %1 ms is longer than the %2 ms a frame may last")
                  .arg(qint64(duration.toDouble()))
                  .arg(limits::FrameMs));
    } else {
        frame->durationMs = duration.toInt();
    }
    const QJsonValue tween = fo.value(QStringLiteral("tween"));
    if (!tween.isUndefined() && !tween.isBool())
        fault(path + QStringLiteral(".tween"), words, QStringLiteral("\"tween\" must be true or false"));
    frame->tween = tween.toBool(false);
    const QJsonValue sound = fo.value(QStringLiteral("sound"));
    if (!sound.isUndefined() && !sound.isString())
        fault(path + QStringLiteral(".sound"), words, QStringLiteral("\"sound\" must be a sound's name"));
    frame->sound = sound.toString();

    // The pose: rest, then each named pose in order, then the overrides.
    const QJsonValue poseValue = fo.value(QStringLiteral("pose"));
    QList<std::pair<QString, QString>> poseNames; // name, its path
    if (poseValue.isString()) {
        poseNames.append({poseValue.toString(), path + QStringLiteral(".pose")});
    } else if (poseValue.isArray()) {
        const QJsonArray list = poseValue.toArray();
        for (int j = 0; j < list.size(); ++j) {
            const QString posePath = path + QStringLiteral(".pose[%1]").arg(j);
            if (!list.at(j).isString())
                fault(posePath, words, QStringLiteral("a pose is named by a string"));
            else
                poseNames.append({list.at(j).toString(), posePath});
        }
    } else if (!poseValue.isUndefined()) {
        fault(path + QStringLiteral(".pose"), words,
              QStringLiteral("\"pose\" must be a pose name or a list of pose names"));
    }
    for (const auto &[name, posePath] : std::as_const(poseNames)) {
        if (!m_poseChanges.contains(name) && name != kRest) {
            fault(posePath, words, QStringLiteral("the pose %1 is not in \"poses\"").arg(quoted(name)));
            continue;
        }
        applyPoseChanges(m_poseChanges.value(name), frame->pose);
    }
    const QJsonValue overrides = fo.value(QStringLiteral("parts"));
    if (!overrides.isUndefined())
        applyPoseChanges(checkPoseChanges(overrides, path + QStringLiteral(".parts"), words), frame->pose);

    const QJsonValue branches = fo.value(QStringLiteral("branches"));
    if (!branches.isUndefined() && !branches.isArray())
        fault(path + QStringLiteral(".branches"), words,
              QStringLiteral("\"branches\" must be a list like [{\"to\": 0, \"probability\": 50}]"));
    const QJsonArray branchList = branches.toArray();
    int total = 0;
    for (int j = 0; j < branchList.size(); ++j) {
        const QString branchPath = path + QStringLiteral(".branches[%1]").arg(j);
        const QJsonObject bo = branchList.at(j).toObject();
        const QJsonValue to = bo.value(QStringLiteral("to"));
        const QJsonValue pr = bo.value(QStringLiteral("probability"));
        if (!to.isDouble() || !pr.isDouble()) {
            fault(branchPath, words, QStringLiteral("each branch needs a \"to\" frame and a \"probability\" in percent"));
            continue;
        }
        Branch b;
        b.toFrame = to.toInt(-1);
        b.probability = pr.toInt(-1);
        if (b.toFrame < 0 || b.toFrame >= count) {
            fault(branchPath + QStringLiteral(".to"), words,
                  QStringLiteral("branches to frame %1, but the animation has frames 0 to %2")
                      .arg(to.toDouble())
                      .arg(count - 1));
            continue;
        }
        if (b.probability < 1 || b.probability > 100) {
            fault(branchPath + QStringLiteral(".probability"), words,
                  QStringLiteral("a branch probability must be from 1 to 100 percent, not %1").arg(pr.toDouble()));
            continue;
        }
        total += b.probability;
        frame->branches.append(b);
    }
    if (total > 100)
        fault(path + QStringLiteral(".branches"), words,
              QStringLiteral("the branch probabilities add up to %1 percent, more than 100").arg(total));

    const QJsonValue exit = fo.value(QStringLiteral("exit"));
    if (exit.isUndefined())
        return;
    if (!exit.isDouble() || exit.toInt(-2) < -1 || exit.toInt() >= count)
        fault(path + QStringLiteral(".exit"), words,
              QStringLiteral("\"exit\" must be a frame index from 0 to %1, or -1").arg(count - 1));
    else
        frame->exitTo = exit.toInt();
}

void Loader::readAnimation(const QString &name, const QJsonObject &o, Animation *out)
{
    out->name = name;
    const QString path = QStringLiteral("animations") + jsonKey(name);
    const QString words = QStringLiteral("animation ") + quoted(name);
    const QJsonValue framesValue = o.value(QStringLiteral("frames"));
    if (!framesValue.isArray() || framesValue.toArray().isEmpty()) {
        fault(path + QStringLiteral(".frames"), words, QStringLiteral("it needs a non-empty list of \"frames\""));
        return;
    }
    const QJsonArray frames = framesValue.toArray();
    const int count = frames.size();

    int defaultExit = -1;
    if (o.contains(QStringLiteral("exit"))) {
        const QJsonValue e = o.value(QStringLiteral("exit"));
        if (!e.isDouble() || e.toInt(-2) < -1 || e.toInt() >= count)
            fault(path + QStringLiteral(".exit"), words,
                  QStringLiteral("\"exit\" must be a frame index from 0 to %1, or -1").arg(count - 1));
        else
            defaultExit = e.toInt();
    }
    const QJsonValue ret = o.value(QStringLiteral("return"));
    if (!ret.isUndefined() && !ret.isString())
        fault(path + QStringLiteral(".return"), words, QStringLiteral("\"return\" must be an animation's name"));
    out->returnAnimation = ret.toString();

    for (int i = 0; i < count; ++i) {
        Frame frame;
        readFrame(frames.at(i), i, count, defaultExit, path + QStringLiteral(".frames[%1]").arg(i),
                  words + QStringLiteral(", frame %1").arg(i), &frame);
        out->frames.append(frame);
    }
}

void Loader::readAnimations(const QJsonValue &v)
{
    if (!v.isObject() || v.toObject().isEmpty()) {
        fault(QStringLiteral("animations"), QString(),
              QStringLiteral("\"animations\" must be an object of named animations"));
        return;
    }
    const QJsonObject animations = v.toObject();
    for (auto it = animations.begin(); it != animations.end(); ++it) {
        const QString key = it.key().toLower();
        const QString path = QStringLiteral("animations") + jsonKey(it.key());
        if (m_model.animations.contains(key)) {
            fault(path, QString(), QStringLiteral("the animations %1 and %2 differ only in case")
                                       .arg(quoted(m_model.animations.value(key).name), quoted(it.key())));
            continue;
        }
        Animation a;
        if (!it.value().isObject()) {
            // Kept without frames, so what names it is not blamed as well.
            a.name = it.key();
            fault(path, QStringLiteral("animation ") + quoted(it.key()),
                  QStringLiteral("it must be an object with \"frames\""));
        } else {
            readAnimation(it.key(), it.value().toObject(), &a);
        }
        m_model.animations.insert(key, a);
    }
    for (auto it = animations.begin(); it != animations.end(); ++it) {
        const Animation *a = m_model.animation(it.key());
        if (!a || a->name != it.key() || a->returnAnimation.isEmpty()
            || m_model.animations.contains(a->returnAnimation.toLower()))
            continue;
        fault(QStringLiteral("animations") + jsonKey(a->name) + QStringLiteral(".return"),
              QStringLiteral("animation ") + quoted(a->name),
              QStringLiteral("returns through %1, which is not an animation").arg(quoted(a->returnAnimation)));
    }
}

void Loader::readStates(const QJsonValue &v)
{
    if (!v.isUndefined() && !v.isObject()) {
        fault(QStringLiteral("states"), QString(),
              QStringLiteral("\"states\" must be an object of state names and animation names"));
        return;
    }
    const QJsonObject states = v.toObject();
    for (auto it = states.begin(); it != states.end(); ++it) {
        const QString path = QStringLiteral("states") + jsonKey(it.key());
        const QString state = it.key() == kOldIdle ? kFirstIdle : it.key();
        if (!CharacterModel::stateNames().contains(state)) {
            fault(path, QString(), QStringLiteral("%1 is not a state; the states are %2")
                                       .arg(quoted(it.key()), CharacterModel::stateNames().join(QStringLiteral(", "))));
            continue;
        }
        if (m_out.stateKeys.contains(state)) {
            fault(path, QString(), QStringLiteral("\"idle\" is the older name of \"idle-1\"; give only one of them"));
            continue;
        }
        const QString words = QStringLiteral("state ") + quoted(it.key());
        QList<std::pair<QString, QString>> names; // name, its path
        if (it.value().isString()) {
            names.append({it.value().toString(), path});
        } else if (it.value().isArray() && !it.value().toArray().isEmpty()) {
            const QJsonArray list = it.value().toArray();
            for (int j = 0; j < list.size(); ++j) {
                if (list.at(j).isString())
                    names.append({list.at(j).toString(), path + QStringLiteral("[%1]").arg(j)});
                else
                    fault(path + QStringLiteral("[%1]").arg(j), words, QStringLiteral("an animation is named by a string"));
            }
        } else {
            fault(path, words, QStringLiteral("it must name an animation, or list the animations to pick from"));
        }
        m_out.stateKeys.insert(state, it.key());
        QStringList found;
        for (const auto &[name, namePath] : std::as_const(names)) {
            if (m_model.animations.contains(name.toLower()))
                found << name;
            else
                fault(namePath, words, QStringLiteral("%1 is not an animation").arg(quoted(name)));
        }
        if (!found.isEmpty())
            m_model.states.insert(state, found);
    }
}

void Loader::readMouthShapes(const QJsonValue &mouth)
{
    if (mouth.isUndefined())
        return;
    if (!mouth.isArray()) {
        fault(QStringLiteral("mouthShapes"), QString(), QStringLiteral("\"mouthShapes\" must be a list of element ids"));
        return;
    }
    if (!m_partIds.contains(QStringLiteral("mouth"))) {
        fault(QStringLiteral("mouthShapes"), QString(),
              QStringLiteral("\"mouthShapes\" is given, but there is no part \"mouth\" to show them"));
        return;
    }
    const QJsonArray shapes = mouth.toArray();
    for (int j = 0; j < shapes.size(); ++j) {
        if (!shapes.at(j).isString() || shapes.at(j).toString().isEmpty()) {
            fault(QStringLiteral("mouthShapes[%1]").arg(j), QString(),
                  QStringLiteral("each of \"mouthShapes\" must be an SVG element id"));
            continue;
        }
        m_model.mouthShapes << shapes.at(j).toString();
        useElement(shapes.at(j).toString(), QStringLiteral("\"mouthShapes\""));
    }
}

// Walks the art's elements before the renderer builds anything from them,
// stopping at the first that is one too many or too deep. Elements that
// draw another file are refused: the art is one file, and what another
// file holds is not bounded here. Malformed XML is left for the renderer
// to refuse. Empty when the art is within bounds.
QString scanArt(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("the art file cannot be read: %1").arg(file.errorString());
    QXmlStreamReader xml(&file);
    int elements = 0;
    int depth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (++elements > limits::ArtElements)
            return QStringLiteral("the art has more than the %1 elements a character's art may have")
                .arg(limits::ArtElements);
        if (++depth > limits::ArtDepth)
            return QStringLiteral("the art nests elements deeper than the %1 levels a character's art may have")
                .arg(limits::ArtDepth);
        if (xml.name() == u"image") {
            const QXmlStreamAttributes attributes = xml.attributes();
            QStringView href = attributes.value(QStringLiteral("http://www.w3.org/1999/xlink"), QStringLiteral("href"));
            if (href.isEmpty())
                href = attributes.value(QStringLiteral("href"));
            if (!href.trimmed().startsWith(u"data:"))
                return QStringLiteral("the art draws the picture %1 from another file; a character's art "
                                      "must hold its pictures itself")
                    .arg(quoted(href.toString()));
        }
    }
    return {};
}

void Loader::checkArt(const QJsonValue &v)
{
    if (!v.isUndefined() && (!v.isString() || v.toString().isEmpty()))
        fault(QStringLiteral("art"), QString(), QStringLiteral("\"art\" must be the name of the SVG file"));
    const QString artName = v.isString() && !v.toString().isEmpty() ? v.toString() : QStringLiteral("art.svg");
    m_model.artFile = QDir(m_folder).absoluteFilePath(artName);
    const QString file = QDir(m_folder).relativeFilePath(m_model.artFile);
    const QString outside = QStringLiteral("the art file is outside the character's folder; the art must be a file "
                                           "in the folder");
    if (QDir::isAbsolutePath(artName) || artName.split(u'/').contains(QStringLiteral(".."))) {
        m_out.faults.append({QStringLiteral("art"), QString(), QString(), outside});
        return;
    }
    if (!QFileInfo(m_model.artFile).isFile()) {
        m_out.faults.append({file, QString(), QString(), QStringLiteral("the art file does not exist")});
        return;
    }
    if (leadsOutOf(m_folder, m_model.artFile)) {
        m_out.faults.append({file, QString(), QString(), outside});
        return;
    }
    // Looked at before anything is read: a huge file costs nothing.
    const qint64 bytes = QFileInfo(m_model.artFile).size();
    if (bytes > limits::ArtBytes) {
        m_out.faults.append({file, QString(), QString(),
                             QStringLiteral("the art file is %1, more than the %2 a character's art may have")
                                 .arg(byteSize(bytes), byteSize(limits::ArtBytes))});
        return;
    }
    if (const QString problem = scanArt(m_model.artFile); !problem.isEmpty()) {
        m_out.faults.append({file, QString(), QString(), problem});
        return;
    }
    QSvgRenderer svg;
    if (!svg.load(m_model.artFile) || !svg.isValid()) {
        m_out.faults.append({file, QString(), QString(), QStringLiteral("the art file is not a valid SVG file")});
        return;
    }
    for (const ElementUse &use : std::as_const(m_elementUses)) {
        if (svg.elementExists(use.element))
            continue;
        const QString others = use.uses == 1 ? QString()
            : use.uses == 2 ? QStringLiteral(" (and one other place)")
                            : QStringLiteral(" (and %1 other places)").arg(use.uses - 1);
        const QString place = QStringLiteral("element ") + quoted(use.element);
        m_out.faults.append({file, place, place,
                             QStringLiteral("%1 names it%2, but the art has no element with that id")
                                 .arg(use.where, others)});
    }
}

LoadOutcome Loader::run()
{
    m_model.folder = m_folder;
    m_model.id = QFileInfo(m_folder).fileName();
    const QString jsonPath = QDir(m_folder).filePath(kJsonFile);
    QFile file(jsonPath);
    if (!file.exists()) {
        m_out.faults.append({kJsonFile, QString(), QString(),
                             QStringLiteral("the file does not exist; a character folder needs one")});
        return m_out;
    }
    if (!QFileInfo(jsonPath).isFile()) {
        // A pipe or a device would be waited on, or never end.
        m_out.faults.append({kJsonFile, QString(), QString(), QStringLiteral("it is not a plain file")});
        return m_out;
    }
    if (leadsOutOf(m_folder, jsonPath)) {
        m_out.faults.append({kJsonFile, QString(), QString(),
                             QStringLiteral("the file is a link outside the character's folder; the character "
                                            "file must be a file in the folder")});
        return m_out;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        m_out.faults.append({kJsonFile, QString(), QString(),
                             QStringLiteral("the file cannot be read: %1").arg(file.errorString())});
        return m_out;
    }
    // Looked at before it is read. A file that is not a plain file (a
    // device, a pipe) has no size to trust: it is read no further than
    // one byte past the limit.
    if (file.size() > limits::JsonBytes) {
        m_out.faults.append({kJsonFile, QString(), QString(),
                             QStringLiteral("the file is %1, more than the %2 a character file may have")
                                 .arg(byteSize(file.size()), byteSize(limits::JsonBytes))});
        return m_out;
    }
    const QByteArray bytes = file.read(limits::JsonBytes + 1);
    if (bytes.size() > limits::JsonBytes) {
        m_out.faults.append({kJsonFile, QString(), QString(),
                             QStringLiteral("the file is more than the %1 a character file may have")
                                 .arg(byteSize(limits::JsonBytes))});
        return m_out;
    }
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        m_out.faults.append({kJsonFile, QString(), QString(),
                             QStringLiteral("the file is not valid JSON: %1 at offset %2")
                                 .arg(parseError.errorString())
                                 .arg(parseError.offset)});
        return m_out;
    }
    if (!doc.isObject()) {
        m_out.faults.append({kJsonFile, QString(), QString(), QStringLiteral("the file must hold one JSON object")});
        return m_out;
    }
    m_out.readJson = true;
    const QJsonObject root = doc.object();

    const QJsonValue name = root.value(QStringLiteral("name"));
    if (!name.isUndefined() && (!name.isString() || name.toString().isEmpty()))
        fault(QStringLiteral("name"), QString(), QStringLiteral("\"name\" must be the name people see"));
    m_model.name = name.isString() && !name.toString().isEmpty() ? name.toString() : m_model.id;
    const QJsonValue description = root.value(QStringLiteral("description"));
    if (!description.isUndefined() && !description.isString())
        fault(QStringLiteral("description"), QString(), QStringLiteral("\"description\" must be a sentence"));
    m_model.description = description.toString();

    const QJsonArray size = root.value(QStringLiteral("size")).toArray();
    if (size.size() != 2 || size.at(0).toInt() <= 0 || size.at(1).toInt() <= 0) {
        fault(QStringLiteral("size"), QString(),
              QStringLiteral("\"size\" must be the frame's width and height in pixels, like [128, 128]"));
        m_model.size = QSize(128, 128);
    } else if (size.at(0).toDouble() > limits::FrameSide || size.at(1).toDouble() > limits::FrameSide) {
        // Every frame is drawn at this size, several times over.
        fault(QStringLiteral("size"), QString(),
              QStringLiteral("the frame of %1 x %2 pixels is larger than the %3 x %3 a character may have")
                  .arg(qint64(size.at(0).toDouble()))
                  .arg(qint64(size.at(1).toDouble()))
                  .arg(limits::FrameSide));
        m_model.size = QSize(128, 128);
    } else {
        m_model.size = QSize(size.at(0).toInt(), size.at(1).toInt());
    }
    m_model.rootPivot = QPointF(m_model.size.width() / 2.0, m_model.size.height());
    m_model.balloonAnchor = QPointF(m_model.size.width() / 2.0, 0);

    readPoint(root, QStringLiteral("rootPivot"), &m_model.rootPivot, QStringLiteral("rootPivot"), QString());
    readPoint(root, QStringLiteral("balloonAnchor"), &m_model.balloonAnchor, QStringLiteral("balloonAnchor"), QString());
    readVoice(root.value(QStringLiteral("voice")));
    readParts(root.value(QStringLiteral("parts")));
    readPoses(root.value(QStringLiteral("poses")));
    readAnimations(root.value(QStringLiteral("animations")));
    readStates(root.value(QStringLiteral("states")));
    readMouthShapes(root.value(QStringLiteral("mouthShapes")));
    checkArt(root.value(QStringLiteral("art")));
    return m_out;
}

} // namespace

LoadOutcome readCharacter(const QString &folder)
{
    return Loader(folder).run();
}

QString faultSentence(const QString &folder, const LoadFault &fault)
{
    QString sentence = QDir(folder).absoluteFilePath(fault.file) + QStringLiteral(": ");
    if (!fault.words.isEmpty())
        sentence += fault.words + QStringLiteral(": ");
    sentence += fault.message;
    if (!sentence.endsWith(QLatin1Char('.')))
        sentence += QLatin1Char('.');
    return sentence;
}

QString byteSize(qint64 bytes)
{
    if (bytes >= 1024 * 1024)
        return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
    if (bytes >= 1024)
        return QStringLiteral("%1 KB").arg(bytes / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
}

QString jsonKey(const QString &key)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_-]*$"));
    if (plain.match(key).hasMatch())
        return QLatin1Char('.') + key;
    QString escaped = key;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QStringLiteral("[\"") + escaped + QStringLiteral("\"]");
}

const QStringList &CharacterModel::stateNames()
{
    static const QStringList states = {
        QStringLiteral("showing"),         QStringLiteral("hiding"),
        QStringLiteral("speaking"),        QStringLiteral("thinking"),
        QStringLiteral("moving-left"),     QStringLiteral("moving-right"),
        QStringLiteral("moving-up"),       QStringLiteral("moving-down"),
        QStringLiteral("gesturing-left"),  QStringLiteral("gesturing-right"),
        QStringLiteral("gesturing-up"),    QStringLiteral("gesturing-down"),
        QStringLiteral("listening"),       QStringLiteral("hearing"),
        QStringLiteral("idle-1"),          QStringLiteral("idle-2"),
        QStringLiteral("idle-3"),
    };
    return states;
}

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

const Animation *CharacterModel::animation(const QString &name) const
{
    const auto it = animations.constFind(name.toLower());
    return it == animations.cend() ? nullptr : &it.value();
}

const Animation *CharacterModel::stateAnimation(const QString &state, int choice) const
{
    const QStringList names = states.value(state);
    if (names.isEmpty())
        return nullptr;
    const int n = int(names.size());
    return animation(names.at(((choice % n) + n) % n));
}

int CharacterModel::stateChoices(const QString &state) const
{
    return int(states.value(state).size());
}

// A RIFF header, "WAVE" and the smallest format chunk.
constexpr qsizetype WavHeaderBytes = 44;

QString soundFile(const QString &folder, const QString &name)
{
    return QDir(folder).filePath(QStringLiteral("sounds/%1.wav").arg(name));
}

namespace {

// What the sound server's WAV reader takes badly, though the file starts
// as a WAV file should: a rate of a few samples a second ends the whole
// program (a division by zero in it), sound data that stops inside a
// frame hangs the program at its end, a chunk that announces more than
// the file holds keeps the sound loading for good. Such a sound is not
// played; the words say why.
QString wavFormatProblem(QFile &file)
{
    const WavParts parts = readWavParts(file);
    if (parts.hasFormat) {
        // 0xFFFE: the extensible form, PCM or float inside.
        if (parts.tag != 1 && parts.tag != 3 && parts.tag != 0xFFFE)
            return QStringLiteral("is not PCM sound (format %1)").arg(parts.tag);
        if (parts.channels < 1 || parts.channels > 8)
            return QStringLiteral("has %1 channels").arg(parts.channels);
        if (parts.bits != 8 && parts.bits != 16 && parts.bits != 24 && parts.bits != 32)
            return QStringLiteral("has %1 bits a sample").arg(parts.bits);
        if (parts.rate < MinSoundRate || parts.rate > MaxSoundRate)
            return QStringLiteral("has %1 samples a second, outside %2 to %3")
                .arg(parts.rate)
                .arg(MinSoundRate)
                .arg(MaxSoundRate);
    }
    switch (parts.fault) {
    case WavParts::Fault::None:
        break;
    case WavParts::Fault::NotWav:
        return QStringLiteral("is no WAV sound");
    case WavParts::Fault::PartPastEnd:
        return QStringLiteral("has a part longer than the file");
    case WavParts::Fault::ShortFormat:
        return QStringLiteral("has a format part too short to say what it holds");
    case WavParts::Fault::SoundBeforeFormat:
        return QStringLiteral("has its sound before its format");
    case WavParts::Fault::NoFormat:
        return QStringLiteral("has no format part");
    case WavParts::Fault::NoSound:
        return QStringLiteral("holds no sound");
    }
    if (parts.held < parts.announced)
        return QStringLiteral("announces %1 bytes of sound but holds %2").arg(parts.announced).arg(parts.held);
    const qint64 frame = qint64(parts.channels) * parts.bits / 8;
    if (parts.announced % frame != 0)
        return QStringLiteral("ends inside a sound frame (%1 bytes, frames of %2)").arg(parts.announced).arg(frame);
    return {};
}

} // namespace

QString soundProblem(const QString &folder, const QString &name)
{
    const QString path = soundFile(folder, name);
    if (name.split(u'/').contains(QStringLiteral("..")))
        return QStringLiteral("its name leads out of the character's folder");
    const QFileInfo info(path);
    if (!info.isFile())
        return QStringLiteral("there is no %1").arg(path);
    if (leadsOutOf(folder, path))
        return QStringLiteral("%1 leads out of the character's folder").arg(path);
    if (info.size() > MaxSoundBytes)
        return QStringLiteral("%1 is %2, more than the %3 a character's sound may have")
            .arg(path, byteSize(info.size()), byteSize(MaxSoundBytes));
    // What is no WAV file at all never reaches the sound server: an empty
    // one is left loading there for good.
    QFile file(path);
    const QByteArray head = file.open(QIODevice::ReadOnly) ? file.read(WavHeaderBytes) : QByteArray();
    if (head.size() < WavHeaderBytes || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return QStringLiteral("%1 is no WAV sound").arg(path);
    if (const QString format = wavFormatProblem(file); !format.isEmpty())
        return QStringLiteral("%1 %2").arg(path, format);
    return {};
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

QStringList characterFoldersNamed(const QString &programDir, const QString &name)
{
    QStringList found;
    if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'/') || name.contains(QChar(0)))
        return found;
    for (const QString &base : characterFolders(programDir)) {
        const QDir dir(base);
        if (QFileInfo(dir.filePath(name + QStringLiteral("/character.json"))).isFile())
            found << dir.absoluteFilePath(name);
    }
    return found;
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
