// Writes PNG contact sheets of a character so whoever draws it can see every
// animation at a glance without starting the program:
//   sheet-N.png         every animation as a row of its frames, a page of
//                       them at a time; the rest pose close up at twice the
//                       size on the first page
//   poses.png           every named pose
//   keyframes.png       one key frame of every animation (the frame that
//                       stands furthest from the rest pose), in a grid
//   anim-<Name>.png     one animation's frames (at --scale), and with
//                       --timeline also the animation sampled as it plays
//
//   kestrova-character-preview <character folder> <output folder>
//       [--scale S] [--only Name,Name] [--timeline MS] [--rows N] [--dark]

#include "CharacterModel.h"
#include "CharacterRenderer.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <cstdio>

using namespace kestrova::character;

namespace {

constexpr int kLabelWidth = 190;
constexpr int kGap = 6;
constexpr int kCaption = 26;

struct Sheet {
    const CharacterModel &model;
    const CharacterRenderer &renderer;
    qreal scale = 1;
    bool dark = false;

    QSize cell() const { return (QSizeF(model.size) * scale).toSize(); }

    void background(QPainter &p, const QRect &r) const
    {
        const QColor a = dark ? QColor(0x2a, 0x2d, 0x33) : QColor(0xf4, 0xf5, 0xf7);
        const QColor b = dark ? QColor(0x33, 0x37, 0x3e) : QColor(0xe6, 0xe8, 0xec);
        const int sq = 8;
        p.save();
        p.setClipRect(r);
        for (int y = r.top(); y < r.bottom(); y += sq)
            for (int x = r.left(); x < r.right(); x += sq)
                p.fillRect(QRect(x, y, sq, sq), (((x - r.left()) / sq + (y - r.top()) / sq) % 2) ? b : a);
        p.restore();
    }

    void drawPose(QPainter &p, const QPoint &at, const Pose &pose, qreal s, const QString &caption) const
    {
        const QSize c = (QSizeF(model.size) * s).toSize();
        background(p, QRect(at, c));
        p.drawImage(QRect(at, c), renderer.render(pose, s));
        p.setPen(dark ? Qt::white : Qt::black);
        QFont f = p.font();
        f.setPixelSize(10);
        p.setFont(f);
        p.drawText(QRect(at.x(), at.y() + c.height() + 1, c.width(), kCaption - 2),
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, caption);
    }
};

QString frameCaption(const Animation &a, int i)
{
    const Frame &f = a.frames.at(i);
    QString s = QStringLiteral("#%1 %2ms%3").arg(i).arg(f.durationMs).arg(f.tween ? QStringLiteral(" ~") : QString());
    QStringList extra;
    for (const Branch &b : f.branches)
        extra << QStringLiteral("->%1 %2%").arg(b.toFrame).arg(b.probability);
    if (f.exitTo >= 0)
        extra << QStringLiteral("exit %1").arg(f.exitTo);
    if (!extra.isEmpty())
        s += QLatin1Char('\n') + extra.join(QLatin1Char(' '));
    return s;
}

QString animationLabel(const Animation &a)
{
    int total = 0;
    for (const Frame &f : a.frames)
        total += f.durationMs;
    QString s = QStringLiteral("%1\n%2 frames, %3 ms").arg(a.name).arg(a.frames.size()).arg(total);
    if (!a.returnAnimation.isEmpty())
        s += QStringLiteral("\nreturn: ") + a.returnAnimation;
    return s;
}

// The animation as it plays, first pass through, branches not taken: the
// pose every stepMs milliseconds, tweens blended.
QList<QPair<int, Pose>> timeline(const CharacterModel &model, const Animation &a, int stepMs)
{
    QList<QPair<int, Pose>> out;
    int start = 0;
    Pose previous = model.restPose;
    int total = 0;
    for (const Frame &f : a.frames)
        total += f.durationMs;
    int fi = 0;
    const int last = int(a.frames.size()) - 1;
    for (int t = 0; t <= total; t += stepMs) {
        while (fi < last && t >= start + a.frames.at(fi).durationMs) {
            previous = a.frames.at(fi).pose;
            start += a.frames.at(fi).durationMs;
            ++fi;
        }
        const Frame &f = a.frames.at(fi);
        const double u = std::clamp((t - start) / double(f.durationMs), 0.0, 1.0);
        out.append({t, f.tween ? interpolatePose(previous, f.pose, u) : f.pose});
    }
    return out;
}

// How far a pose stands from another: moves, turns, stretches, fades and
// changed elements added up over the parts.
double poseDistance(const Pose &a, const Pose &b)
{
    QSet<QString> parts;
    for (auto it = a.begin(); it != a.end(); ++it)
        parts.insert(it.key());
    for (auto it = b.begin(); it != b.end(); ++it)
        parts.insert(it.key());
    double d = 0;
    for (const QString &part : std::as_const(parts)) {
        const PartPose x = a.value(part), y = b.value(part);
        d += std::abs(x.dx - y.dx) + std::abs(x.dy - y.dy) + std::abs(x.rotation - y.rotation) / 3
            + 20 * (std::abs(x.scaleX - y.scaleX) + std::abs(x.scaleY - y.scaleY) + std::abs(x.opacity - y.opacity))
            + (x.element != y.element ? 6 : 0);
    }
    return d;
}

int keyFrame(const CharacterModel &model, const Animation &a)
{
    // A frame with the character faded out shows nothing: such frames count
    // only when there is nothing else.
    int best = 0;
    double furthest = -1;
    for (int i = 0; i < a.frames.size(); ++i) {
        const bool faded = a.frames.at(i).pose.value(QStringLiteral("root")).opacity < 0.3;
        const double d = poseDistance(a.frames.at(i).pose, model.restPose) - (faded ? 1e6 : 0);
        if (d > furthest) {
            furthest = d;
            best = i;
        }
    }
    return best;
}

void writeOrComplain(const QImage &image, const QString &path)
{
    if (!image.save(path))
        std::fprintf(stderr, "Could not write %s\n", qPrintable(path));
    else
        std::printf("%s\n", qPrintable(path));
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes PNG contact sheets of a character's animations."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("The character folder."));
    parser.addPositionalArgument(QStringLiteral("output"), QStringLiteral("Folder the PNG files are written to."));
    QCommandLineOption scaleOpt(QStringLiteral("scale"), QStringLiteral("Scale of the per-animation sheets."),
                                QStringLiteral("S"), QStringLiteral("1"));
    QCommandLineOption onlyOpt(QStringLiteral("only"), QStringLiteral("Only these animations (comma separated)."),
                               QStringLiteral("names"));
    QCommandLineOption timelineOpt(QStringLiteral("timeline"),
                                   QStringLiteral("Also sample each animation as it plays, every MS milliseconds."),
                                   QStringLiteral("MS"));
    QCommandLineOption darkOpt(QStringLiteral("dark"), QStringLiteral("Dark background."));
    QCommandLineOption rowsOpt(QStringLiteral("rows"), QStringLiteral("Animations per overview page."),
                               QStringLiteral("N"), QStringLiteral("8"));
    parser.addOptions({scaleOpt, onlyOpt, timelineOpt, darkOpt, rowsOpt});
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    if (args.size() != 2)
        parser.showHelp(1);

    QString error;
    const std::optional<CharacterModel> model = CharacterModel::load(args.at(0), &error);
    if (!model) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const CharacterRenderer renderer(*model);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "The art of %s cannot be drawn.\n", qPrintable(model->folder));
        return 1;
    }
    QDir out(args.at(1));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "Cannot create %s\n", qPrintable(args.at(1)));
        return 1;
    }

    QList<const Animation *> animations;
    for (const Animation &a : model->animations)
        animations << &a;
    std::sort(animations.begin(), animations.end(),
              [](const Animation *x, const Animation *y) { return x->name.compare(y->name, Qt::CaseInsensitive) < 0; });
    if (parser.isSet(onlyOpt)) {
        const QStringList only = parser.value(onlyOpt).split(QLatin1Char(','), Qt::SkipEmptyParts);
        animations.clear();
        for (const QString &n : only) {
            if (const Animation *a = model->animation(n.trimmed()))
                animations << a;
            else
                std::fprintf(stderr, "No animation named %s\n", qPrintable(n));
        }
    }

    const bool dark = parser.isSet(darkOpt);
    const QColor paper = dark ? QColor(0x1e, 0x20, 0x24) : Qt::white;
    const QColor ink = dark ? Qt::white : Qt::black;
    const QSize one = model->size;

    // The overview: all animations at scale 1, a page of them at a time,
    // the rest pose at 2x on top of the first page.
    const int perPage = std::max(1, parser.value(rowsOpt).toInt());
    for (int first = 0, page = 1; first < animations.size(); first += perPage, ++page) {
        const QList<const Animation *> rows = animations.mid(first, perPage);
        Sheet sheet{*model, renderer, 1, dark};
        int maxFrames = 1;
        for (const Animation *a : rows)
            maxFrames = std::max<int>(maxFrames, a->frames.size());
        const int rowH = one.height() + kCaption + kGap;
        const int headerH = page == 1 ? one.height() * 2 + kCaption + kGap * 2 : kGap;
        const int width = std::max(kLabelWidth + maxFrames * (one.width() + kGap) + kGap,
                                   kLabelWidth + one.width() * 2 + kGap * 2);
        QImage image(width, headerH + int(rows.size()) * rowH + kGap, QImage::Format_ARGB32);
        image.fill(paper);
        QPainter p(&image);
        p.setPen(ink);
        QFont f = p.font();
        f.setPixelSize(12);
        p.setFont(f);
        if (page == 1) {
            p.drawText(QRect(kGap, kGap, kLabelWidth - kGap, headerH),
                       Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                       QStringLiteral("%1\n%2\n%3 parts, %4 poses, %5 animations")
                           .arg(model->name, model->description)
                           .arg(model->parts.size())
                           .arg(model->poses.size())
                           .arg(model->animations.size()));
            sheet.drawPose(p, QPoint(kLabelWidth, kGap), model->restPose, 2, QStringLiteral("rest pose, 2x"));
        }
        int y = headerH;
        for (const Animation *a : rows) {
            p.setPen(ink);
            p.setFont(f);
            p.drawText(QRect(kGap, y, kLabelWidth - kGap * 2, rowH), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                       animationLabel(*a));
            for (int i = 0; i < a->frames.size(); ++i)
                sheet.drawPose(p, QPoint(kLabelWidth + i * (one.width() + kGap), y), a->frames.at(i).pose, 1,
                               frameCaption(*a, i));
            y += rowH;
        }
        p.end();
        writeOrComplain(image, out.filePath(QStringLiteral("sheet-%1.png").arg(page)));
    }

    // Named poses.
    {
        Sheet sheet{*model, renderer, 1, dark};
        QStringList names = model->poses.keys();
        names.sort(Qt::CaseInsensitive);
        const int perRow = 8;
        const int rows = (int(names.size()) + perRow - 1) / perRow;
        QImage image(perRow * (one.width() + kGap) + kGap, rows * (one.height() + kCaption + kGap) + kGap,
                     QImage::Format_ARGB32);
        image.fill(paper);
        QPainter p(&image);
        for (int i = 0; i < names.size(); ++i)
            sheet.drawPose(p,
                           QPoint(kGap + (i % perRow) * (one.width() + kGap),
                                  kGap + (i / perRow) * (one.height() + kCaption + kGap)),
                           model->poses.value(names.at(i)), 1, names.at(i));
        p.end();
        writeOrComplain(image, out.filePath(QStringLiteral("poses.png")));
    }

    // One key frame of each animation, at the asked scale.
    {
        const qreal s = std::max(0.25, parser.value(scaleOpt).toDouble());
        Sheet sheet{*model, renderer, s, dark};
        const QSize cell = sheet.cell();
        const int perRow = std::max(1, 1600 / (cell.width() + kGap));
        const int rows = (int(animations.size()) + perRow - 1) / perRow;
        const int rowH = cell.height() + kCaption + kGap;
        QImage image(kGap + perRow * (cell.width() + kGap), 40 + rows * rowH, QImage::Format_ARGB32);
        image.fill(paper);
        QPainter p(&image);
        p.setPen(ink);
        QFont f = p.font();
        f.setPixelSize(14);
        p.setFont(f);
        p.drawText(QRect(kGap, 4, image.width(), 32), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("%1: the key frame of each of its %2 animations").arg(model->name).arg(animations.size()));
        for (int i = 0; i < animations.size(); ++i) {
            const Animation &a = *animations.at(i);
            const int k = keyFrame(*model, a);
            sheet.drawPose(p, QPoint(kGap + (i % perRow) * (cell.width() + kGap), 40 + (i / perRow) * rowH),
                           a.frames.at(k).pose, s, QStringLiteral("%1 #%2").arg(a.name).arg(k));
        }
        p.end();
        writeOrComplain(image, out.filePath(QStringLiteral("keyframes.png")));
    }

    // One sheet per animation at the asked scale.
    const qreal scale = std::max(0.25, parser.value(scaleOpt).toDouble());
    const int stepMs = parser.isSet(timelineOpt) ? std::max(10, parser.value(timelineOpt).toInt()) : 0;
    Sheet sheet{*model, renderer, scale, dark};
    const QSize cell = sheet.cell();
    for (const Animation *a : animations) {
        const int perRow = std::max(1, 1400 / (cell.width() + kGap));
        const QList<QPair<int, Pose>> played = stepMs ? timeline(*model, *a, stepMs) : QList<QPair<int, Pose>>();
        const int frameRows = (int(a->frames.size()) + perRow - 1) / perRow;
        const int playedRows = (int(played.size()) + perRow - 1) / perRow;
        const int rowH = cell.height() + kCaption + kGap;
        QImage image(kGap + perRow * (cell.width() + kGap),
                     40 + frameRows * rowH + (playedRows ? 24 + playedRows * rowH : 0), QImage::Format_ARGB32);
        image.fill(paper);
        QPainter p(&image);
        p.setPen(ink);
        QFont f = p.font();
        f.setPixelSize(13);
        p.setFont(f);
        p.drawText(QRect(kGap, 4, image.width(), 34), Qt::AlignLeft | Qt::AlignVCenter,
                   animationLabel(*a).replace(QLatin1Char('\n'), QStringLiteral("   ")));
        for (int i = 0; i < a->frames.size(); ++i)
            sheet.drawPose(p,
                           QPoint(kGap + (i % perRow) * (cell.width() + kGap), 40 + (i / perRow) * rowH),
                           a->frames.at(i).pose, scale, frameCaption(*a, i));
        if (playedRows) {
            const int top = 40 + frameRows * rowH;
            p.setPen(ink);
            p.setFont(f);
            p.drawText(QRect(kGap, top, image.width(), 22), Qt::AlignLeft | Qt::AlignVCenter,
                       QStringLiteral("as played, every %1 ms").arg(stepMs));
            for (int i = 0; i < played.size(); ++i)
                sheet.drawPose(p,
                               QPoint(kGap + (i % perRow) * (cell.width() + kGap), top + 24 + (i / perRow) * rowH),
                               played.at(i).second, scale, QStringLiteral("%1 ms").arg(played.at(i).first));
        }
        p.end();
        writeOrComplain(image, out.filePath(QStringLiteral("anim-%1.png").arg(a->name)));
    }
    return 0;
}
