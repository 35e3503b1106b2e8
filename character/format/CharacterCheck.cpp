#include "CharacterCheck.h"

#include <QDir>
#include <QFileInfo>
#include "CharacterLoader.h"
#include "CharacterRenderer.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace kestrova::character {

namespace {

QString quoted(const QString &s) { return QLatin1Char('"') + s + QLatin1Char('"'); }

const QString kJsonFile = QStringLiteral("character.json");

// Where the frames after `i` can go when nothing stops the animation; a
// value of frames.size() is its end.
QList<int> successors(const Animation &a, int i)
{
    QList<int> next;
    int total = 0;
    for (const Branch &b : a.frames.at(i).branches) {
        next << b.toFrame;
        total += b.probability;
    }
    if (total < 100)
        next << i + 1;
    return next;
}

// Frames reachable from `from` (itself included) when nothing stops the
// animation; index frames.size() stands for the end.
QList<bool> reachableFrom(const Animation &a, int from)
{
    const int n = int(a.frames.size());
    QList<bool> seen(n + 1, false);
    QList<int> todo{from};
    seen[from] = true;
    while (!todo.isEmpty()) {
        const int i = todo.takeLast();
        if (i == n)
            continue;
        for (int j : successors(a, i)) {
            if (j >= 0 && j <= n && !seen.at(j)) {
                seen[j] = true;
                todo << j;
            }
        }
    }
    return seen;
}

QString frameRanges(const QList<int> &frames)
{
    QStringList parts;
    for (int i = 0; i < frames.size();) {
        int j = i;
        while (j + 1 < frames.size() && frames.at(j + 1) == frames.at(j) + 1)
            ++j;
        parts << (i == j ? QString::number(frames.at(i)) : QStringLiteral("%1 to %2").arg(frames.at(i)).arg(frames.at(j)));
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

// The return animations followed from `a` when they go round in a circle:
// the names from the first one met again, that one repeated at the end;
// empty when the chain ends.
QStringList returnCircle(const CharacterModel &model, const Animation &a)
{
    QList<const Animation *> chain{&a};
    const Animation *at = a.returnAnimation.isEmpty() ? nullptr : model.animation(a.returnAnimation);
    while (at && !chain.contains(at)) {
        chain << at;
        at = at->returnAnimation.isEmpty() ? nullptr : model.animation(at->returnAnimation);
    }
    if (!at)
        return {};
    QStringList names;
    for (qsizetype i = chain.indexOf(at); i < chain.size(); ++i)
        names << chain.at(i)->name;
    names << at->name;
    return names;
}

QString quotedChain(const QStringList &names)
{
    QStringList shown;
    for (const QString &n : names)
        shown << quoted(n);
    return shown.join(QStringLiteral(" then "));
}

class Checker {
public:
    Checker(const LoadOutcome &outcome, QList<CharacterProblem> *out) : m_in(outcome), m_model(outcome.model), m_out(out)
    {
    }

    void run()
    {
        checkLocks();
        checkNamesAndStates();
        checkSounds();
        checkEndings();
        checkReturns();
        // Only a character the loader takes is drawn as Kestrova draws it.
        if (m_in.faults.isEmpty())
            checkEdges();
    }

private:
    void add(const QString &path, const QString &message, CharacterProblem::Kind kind)
    {
        m_out->append({kJsonFile + QStringLiteral(": ") + path, message, kind});
    }

    QString animationPath(const Animation &a) const { return QStringLiteral("animations") + jsonKey(a.name); }

    // Animations sorted by name, so problems come in the same order each time.
    QList<const Animation *> sortedAnimations() const
    {
        QList<const Animation *> list;
        for (const Animation &a : m_model.animations)
            list << &a;
        std::sort(list.begin(), list.end(),
                  [](const Animation *x, const Animation *y) { return x->name.toLower() < y->name.toLower(); });
        return list;
    }

    // What the loader refuses although the file reads well; each such
    // animation is not reported again below.
    void checkLocks()
    {
        for (const LoadFault &f : characterLocks(m_model)) {
            add(f.path, f.message, CharacterProblem::Lock);
            m_locked.insert(f.path);
        }
        for (const QString &state : {QStringLiteral("showing"), QStringLiteral("hiding"), QStringLiteral("speaking")}) {
            for (const QString &name : m_model.states.value(state)) {
                if (const Animation *a = m_model.animation(name))
                    for (const QString &member : returnCircle(m_model, *a))
                        m_lockedCircles.insert(member.toLower());
            }
        }
    }
    bool locked(const QString &path) const
    {
        for (const QString &p : m_locked)
            if (p == path || p.startsWith(path + u'.') || p.startsWith(path + u'['))
                return true;
        return false;
    }

    void checkNamesAndStates()
    {
        for (const QString &name : playedAnimationNames()) {
            if (!m_model.animation(name))
                add(QStringLiteral("animations"),
                    QStringLiteral("there is no animation %1; programs ask Kestrova to play it").arg(quoted(name)),
                    CharacterProblem::Missing);
        }
        for (const QString &state : CharacterModel::stateNames()) {
            // A state the file gives whose animations are all unknown has
            // been reported by the loader already.
            if (m_model.stateChoices(state) == 0 && !m_in.stateKeys.contains(state))
                add(QStringLiteral("states"),
                    QStringLiteral("the state %1 has no animation; Kestrova plays one in it").arg(quoted(state)),
                    CharacterProblem::Missing);
        }
    }

    // A frame's sound is sounds/<name>.wav in the folder; Kestrova plays
    // nothing for one that is not there.
    void checkSounds()
    {
        for (const Animation *a : sortedAnimations()) {
            for (int i = 0; i < a->frames.size(); ++i) {
                const QString &sound = a->frames.at(i).sound;
                if (sound.isEmpty())
                    continue;
                const QString file = QStringLiteral("sounds/%1.wav").arg(sound);
                const QString place = animationPath(*a) + QStringLiteral(".frames[%1].sound").arg(i);
                if (!QFileInfo(QDir(m_model.folder).filePath(file)).isFile())
                    add(place,
                        QStringLiteral("the sound %1 has no file %2; Kestrova plays nothing for it")
                            .arg(quoted(sound), file),
                        CharacterProblem::Missing);
                else if (const QString problem = soundProblem(m_model.folder, sound); !problem.isEmpty())
                    add(place,
                        QStringLiteral("the sound %1 is not played: %2").arg(quoted(sound), problem),
                        CharacterProblem::Behaviour);
            }
        }
    }

    // Whether the animation is played without being stopped somewhere: by
    // name, as a return, or in a state that waits for it to end. Only the
    // state loops are stopped by Kestrova itself.
    bool playsToItsEnd(const Animation &a) const
    {
        bool inLoopState = false;
        for (auto it = m_model.states.cbegin(); it != m_model.states.cend(); ++it) {
            bool names = false;
            for (const QString &n : it.value())
                names = names || n.compare(a.name, Qt::CaseInsensitive) == 0;
            if (!names)
                continue;
            if (!loopingStates().contains(it.key()))
                return true;
            inLoopState = true;
        }
        if (!inLoopState)
            return true; // asked for by name
        for (const QString &n : playedAnimationNames())
            if (n.compare(a.name, Qt::CaseInsensitive) == 0)
                return true;
        for (const Animation &other : m_model.animations)
            if (other.returnAnimation.compare(a.name, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    }

    // The idle states the animation plays in, for the message.
    QStringList idleStatesOf(const Animation &a) const
    {
        QStringList found;
        for (const QString &state : {QStringLiteral("idle-1"), QStringLiteral("idle-2"), QStringLiteral("idle-3")})
            for (const QString &n : m_model.states.value(state))
                if (n.compare(a.name, Qt::CaseInsensitive) == 0 && !found.contains(state))
                    found << state;
        return found;
    }

    void checkEndings()
    {
        for (const Animation *a : sortedAnimations()) {
            if (a->frames.isEmpty())
                continue;
            const QString path = animationPath(*a);

            // Stopped, an animation always ends: AnimationPlayer::exit() makes
            // one jump to the frame's exit and plays straight on from there,
            // taking no branches, and the loader has seen that every exit is
            // a frame of the animation. What remains is how it ends unstopped.

            // Idling must end on its own: no loops at all.
            const QStringList idle = idleStatesOf(*a);
            if (!idle.isEmpty()) {
                const auto [frame, branch] = firstLoopingBranch(*a);
                if (frame >= 0) {
                    add(path + QStringLiteral(".frames[%1].branches[%2]").arg(frame).arg(branch),
                        QStringLiteral("the animation plays in %1, and idle animations must end on their own, "
                                       "but this branch back to frame %2 makes it repeat")
                            .arg(idle.join(QStringLiteral(" and ")))
                            .arg(a->frames.at(frame).branches.at(branch).toFrame),
                        CharacterProblem::Behaviour);
                    continue;
                }
            }

            if (!playsToItsEnd(*a) || locked(path + QStringLiteral(".frames")))
                continue;
            const QList<int> stuck = framesThatNeverEnd(*a);
            if (!stuck.isEmpty())
                add(path + QStringLiteral(".frames[%1]").arg(stuck.first()),
                    QStringLiteral("once here the animation never ends unless it is stopped (from frames %1 "
                                   "there is no way to its end); Kestrova waits for it to end, and stops only the loops of speaking, "
                                   "thinking, moving-*, listening and hearing itself, so give the loop a way out")
                        .arg(frameRanges(stuck)),
                    CharacterProblem::Behaviour);
        }
    }

    void checkReturns()
    {
        for (const Animation *a : sortedAnimations()) {
            // Follows the returns from a; a circle is reported once, at the
            // member that sorts first.
            if (a->returnAnimation.isEmpty())
                continue;
            QStringList chain{a->name};
            const Animation *at = m_model.animation(a->returnAnimation);
            while (at && at != a && !chain.contains(at->name)) {
                chain << at->name;
                at = at->returnAnimation.isEmpty() ? nullptr : m_model.animation(at->returnAnimation);
            }
            if (at != a)
                continue;
            // A circle a locked state runs into is reported as its lock.
            if (m_lockedCircles.contains(a->name.toLower()))
                continue;
            const bool first = std::all_of(chain.cbegin(), chain.cend(), [&](const QString &n) {
                return a->name.toLower() <= n.toLower();
            });
            if (!first)
                continue;
            QStringList shown;
            for (const QString &n : std::as_const(chain))
                shown << quoted(n);
            shown << quoted(a->name);
            add(animationPath(*a) + QStringLiteral(".return"),
                QStringLiteral("the return animations go round in a circle (%1), so coming back to rest never ends")
                    .arg(shown.join(QStringLiteral(" then "))),
                CharacterProblem::Behaviour);
        }
    }

    // Every frame drawn as on the desktop: one that reaches the frame's edge
    // is cut off there. Hiding may leave by the edge on purpose.
    void checkEdges()
    {
        const CharacterRenderer renderer(m_model);
        if (!renderer.isValid())
            return;
        const QStringList leaving = m_model.states.value(QStringLiteral("hiding"));
        for (const Animation *a : sortedAnimations()) {
            if (leaving.contains(a->name, Qt::CaseInsensitive))
                continue;
            QList<int> cut;
            QStringList edges;
            for (int i = 0; i < a->frames.size(); ++i) {
                const QStringList reached = edgesReached(renderer.render(a->frames.at(i).pose));
                if (reached.isEmpty())
                    continue;
                cut << i;
                for (const QString &e : reached)
                    if (!edges.contains(e))
                        edges << e;
            }
            if (cut.isEmpty())
                continue;
            add(animationPath(*a) + QStringLiteral(".frames[%1]").arg(cut.first()),
                QStringLiteral("the drawing reaches the %1 %2 of the %3 x %4 frame (%5 %6), so it is cut "
                               "off there; give it room with a larger size and view box, or keep it further in")
                    .arg(edges.join(QStringLiteral(" and ")), edges.size() == 1 ? QStringLiteral("edge") : QStringLiteral("edges"))
                    .arg(m_model.size.width())
                    .arg(m_model.size.height())
                    .arg(cut.size() == 1 ? QStringLiteral("frame") : QStringLiteral("frames"), frameRanges(cut)),
                CharacterProblem::Drawing);
        }
    }

    const LoadOutcome &m_in;
    const CharacterModel &m_model;
    QList<CharacterProblem> *m_out;
    QSet<QString> m_locked;        // paths of the locks found
    QSet<QString> m_lockedCircles; // lower-case names in their return circles
};

} // namespace

QStringList edgesReached(const QImage &frame)
{
    // Faint antialiasing at the border does not count; a visible stroke does.
    constexpr int Visible = 32;
    const QImage img = frame.convertToFormat(QImage::Format_ARGB32);
    const int w = img.width(), h = img.height();
    auto reaches = [&](int x0, int y0, int dx, int dy, int n) {
        for (int k = 0; k < n; ++k)
            if (qAlpha(img.pixel(x0 + k * dx, y0 + k * dy)) > Visible)
                return true;
        return false;
    };
    QStringList edges;
    if (w == 0 || h == 0)
        return edges;
    if (reaches(0, 0, 1, 0, w))
        edges << QStringLiteral("top");
    if (reaches(0, 0, 0, 1, h))
        edges << QStringLiteral("left");
    if (reaches(w - 1, 0, 0, 1, h))
        edges << QStringLiteral("right");
    if (reaches(0, h - 1, 1, 0, w))
        edges << QStringLiteral("bottom");
    return edges;
}

const QStringList &playedAnimationNames()
{
    static const QStringList names = {
        QStringLiteral("Alert"),          QStringLiteral("Announce"),      QStringLiteral("Decline"),
        QStringLiteral("DontRecognize"),  QStringLiteral("GestureRight"),  QStringLiteral("GetAttention"),
        QStringLiteral("GetAttentionReturn"), QStringLiteral("Greet"),     QStringLiteral("LookDown"),
        QStringLiteral("LookRight"),      QStringLiteral("Pleased"),       QStringLiteral("Process"),
        QStringLiteral("Read"),           QStringLiteral("ReadReturn"),    QStringLiteral("RestPose"),
        QStringLiteral("Sad"),            QStringLiteral("Search"),        QStringLiteral("StartListening"),
        QStringLiteral("Surprised"),      QStringLiteral("Wave"),          QStringLiteral("Write"),
        QStringLiteral("WriteReturn"),
    };
    return names;
}

const QStringList &loopingStates()
{
    static const QStringList states = {
        QStringLiteral("speaking"),    QStringLiteral("thinking"),   QStringLiteral("moving-left"),
        QStringLiteral("moving-right"), QStringLiteral("moving-up"), QStringLiteral("moving-down"),
        QStringLiteral("listening"),   QStringLiteral("hearing"),
    };
    return states;
}

QList<int> framesThatNeverEnd(const Animation &animation)
{
    const int n = int(animation.frames.size());
    if (n == 0)
        return {};
    const QList<bool> reachable = reachableFrom(animation, 0);
    QList<int> stuck;
    for (int i = 0; i < n; ++i)
        if (reachable.at(i) && !reachableFrom(animation, i).at(n))
            stuck << i;
    return stuck;
}

std::pair<int, int> firstLoopingBranch(const Animation &animation)
{
    const int n = int(animation.frames.size());
    if (n == 0)
        return {-1, -1};
    const QList<bool> reachable = reachableFrom(animation, 0);
    for (int i = 0; i < n; ++i) {
        if (!reachable.at(i))
            continue;
        const QList<Branch> &branches = animation.frames.at(i).branches;
        for (int b = 0; b < branches.size(); ++b) {
            if (reachableFrom(animation, branches.at(b).toFrame).at(i))
                return {i, b};
        }
    }
    return {-1, -1};
}

QList<LoadFault> characterLocks(const CharacterModel &model)
{
    QList<LoadFault> out;
    QSet<QString> seen;
    for (const QString &state : {QStringLiteral("showing"), QStringLiteral("hiding"), QStringLiteral("speaking")}) {
        for (const QString &name : model.states.value(state)) {
            const Animation *a = model.animation(name);
            if (!a || a->frames.isEmpty())
                continue;
            const QString path = QStringLiteral("animations") + jsonKey(a->name);
            const QString words = QStringLiteral("animation ") + quoted(a->name);
            if (state != u"speaking" && !seen.contains(path + QStringLiteral(".frames"))) {
                const QList<int> stuck = framesThatNeverEnd(*a);
                if (!stuck.isEmpty()) {
                    seen.insert(path + QStringLiteral(".frames"));
                    out.append({kJsonFile, path + QStringLiteral(".frames[%1]").arg(stuck.first()), words,
                                QStringLiteral("it plays in %1, which Kestrova waits to end, but from frames %2 "
                                               "there is no way to its end")
                                    .arg(quoted(state), frameRanges(stuck))});
                }
            }
            if (seen.contains(path + QStringLiteral(".return")))
                continue;
            const QStringList circle = returnCircle(model, *a);
            if (circle.isEmpty())
                continue;
            seen.insert(path + QStringLiteral(".return"));
            out.append({kJsonFile, path + QStringLiteral(".return"), words,
                        QStringLiteral("it plays in %1, and its return animations go round in a circle (%2), "
                                       "so coming back to rest never ends")
                            .arg(quoted(state), quotedChain(circle))});
        }
    }
    return out;
}

QList<CharacterProblem> checkCharacterFolder(const QString &folder)
{
    const LoadOutcome outcome = readCharacter(folder);
    QList<CharacterProblem> problems;
    for (const LoadFault &f : outcome.faults)
        problems.append({f.path.isEmpty() ? f.file : f.file + QStringLiteral(": ") + f.path, f.message,
                         CharacterProblem::Fault});
    if (outcome.readJson)
        Checker(outcome, &problems).run();
    return problems;
}

} // namespace kestrova::character
