// The character's window at twice the scale (as on a high-density screen):
// its size, the frames the renderer keeps and the images it draws over
// again, the shapes cut from each frame (the mask without a compositor, the
// input shape with one), worked out once per image, and repaints limited to
// the pixels that changed.
#include "CharacterRenderer.h"
#include "desktop/CharacterWindow.h"
#include "desktop/DesktopCharacter.h"

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QTest>

using namespace kestrova::character;

namespace {

const QString KessFolder = QStringLiteral(KESTROVA_SOURCE_DIR "/data/characters/kess");

CharacterModel kess()
{
    QString error;
    std::optional<CharacterModel> model = CharacterModel::load(KessFolder, &error);
    if (!model)
        qFatal("kess does not load: %s", qPrintable(error));
    return std::move(*model);
}

// Poses of the shipped character that differ in outline: rest, and the held
// frames of a few animations.
QList<Pose> somePoses(const CharacterModel &model)
{
    QList<Pose> poses{model.restPose};
    for (const QString &name : {QStringLiteral("Wave"), QStringLiteral("Surprised"), QStringLiteral("Hide")}) {
        if (const Animation *a = model.animation(name))
            for (const Frame &f : a->frames)
                poses << f.pose;
    }
    return poses;
}

// Whether a pixel counts as part of the character's shape.
bool solid(const QImage &image, int x, int y)
{
    return qAlpha(image.pixel(x, y)) >= 128;
}

class RecordingWindow : public ShapedWindow {
public:
    QList<QRect> painted;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        painted << event->rect();
        ShapedWindow::paintEvent(event);
    }
};

} // namespace

class TestCharacterWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { ShapedWindow::setCompositorOverride(std::nullopt); }
    void cleanup() { ShapedWindow::setCompositorOverride(std::nullopt); }
    void twiceTheScaleIsTwiceTheSize();
    void framesAreDrawnOnceAndImagesReused();
    void shapesMatchEveryPixel();
    void shapesAreWorkedOutOncePerImage();
    void onlyChangedPixelsArePainted();
};

void TestCharacterWindow::twiceTheScaleIsTwiceTheSize()
{
    // main() asks for scale 2, as QT_SCALE_FACTOR=2 or a 192 dpi desktop do.
    DesktopCharacter character(kess(), std::make_unique<SilentVoice>());
    character.show();
    QTRY_VERIFY_WITH_TIMEOUT(character.visible() && !character.isBusy(), 5000);
    CharacterWindow *w = character.window();
    QCOMPARE(w->devicePixelRatioF(), 2.0);
    // 136x142 in the program's units: 272x284 device pixels, not twice that.
    QCOMPARE(w->size(), character.model().size);
    QCOMPARE(w->frame().size(), character.model().size * 2);
    QCOMPARE(w->frame().devicePixelRatio(), 2.0);
    QCOMPARE(w->windowHandle()->size() * w->windowHandle()->devicePixelRatio(), character.model().size * 2);
}

void TestCharacterWindow::framesAreDrawnOnceAndImagesReused()
{
    const CharacterModel model = kess();
    const CharacterRenderer renderer(model);
    const QList<Pose> poses = somePoses(model);
    QVERIFY(poses.size() >= 4);

    // Exact: a pose drawn before is handed out again, the same image.
    const QImage first = renderer.render(poses[0], 2.0);
    QCOMPARE(renderer.drawCount(), 1);
    QCOMPARE(renderer.render(poses[0], 2.0).cacheKey(), first.cacheKey());
    QCOMPARE(renderer.drawCount(), 1);
    const QImage other = renderer.render(poses[1], 2.0);
    QCOMPARE(renderer.drawCount(), 2);
    QVERIFY(other != first);
    // Another scale is another drawing.
    QCOMPARE(renderer.render(poses[0], 1.0).size(), model.size);
    QCOMPARE(renderer.drawCount(), 3);

    // Fast: drawn every time, into an image let go of, never into one still
    // held (that one may be on the screen).
    QImage shown = renderer.render(poses[2], 2.0, CharacterRenderer::Quality::Fast);
    const QImage shownCopy = shown.copy();
    const uchar *const shownPixels = shown.constBits();
    QImage next = renderer.render(poses[3], 2.0, CharacterRenderer::Quality::Fast);
    QVERIFY(next.constBits() != shownPixels);
    QCOMPARE(shown, shownCopy);
    shown = next;
    next = QImage();
    const uchar *const heldPixels = shown.constBits();
    QImage recycled = renderer.render(poses[2], 2.0, CharacterRenderer::Quality::Fast);
    QVERIFY(recycled.constBits() != heldPixels);
    shown = recycled;
    recycled = QImage();
    // Now the first spare is free again: its pixels are drawn over.
    const QImage again = renderer.render(poses[3], 2.0, CharacterRenderer::Quality::Fast);
    QVERIFY(again.constBits() != shown.constBits());
    QCOMPARE(again.devicePixelRatio(), 2.0);
    // Drawn over, it shows the new pose, not what it held.
    QCOMPARE(again, renderer.render(poses[3], 2.0, CharacterRenderer::Quality::Fast));

    // The kept drawings are bounded: many different poses push the oldest out.
    const int before = renderer.drawCount();
    const int many = int(CharacterRenderer::FrameCacheBytes / first.sizeInBytes()) + 8;
    for (int i = 0; i < many; ++i) {
        Pose turned = poses[0];
        turned[QStringLiteral("root")].rotation = 0.01 * (i + 1);
        renderer.render(turned, 2.0);
    }
    QCOMPARE(renderer.drawCount(), before + many);
    renderer.render(poses[0], 2.0);
    QCOMPARE(renderer.drawCount(), before + many + 1);
}

void TestCharacterWindow::shapesMatchEveryPixel()
{
    // The shapes are built row by row from the pixels; every pixel of every
    // pose is checked against them: mask in window pixels (scale 2: each
    // judged by the device pixel at its middle), input shape in device
    // pixels.
    const CharacterModel model = kess();
    const CharacterRenderer renderer(model);
    RecordingWindow w;
    for (const Pose &pose : somePoses(model)) {
        const QImage image = renderer.render(pose, 2.0);
        ShapedWindow::setCompositorOverride(false);
        w.setFrame(image);
        w.show();
        QVERIFY(w.isShaped());
        const QRegion mask = w.shape();
        int wrong = 0;
        for (int y = 0; y < model.size.height(); ++y)
            for (int x = 0; x < model.size.width(); ++x)
                wrong += mask.contains(QPoint(x, y)) != solid(image, 2 * x + 1, 2 * y + 1);
        QCOMPARE(wrong, 0);
        QCOMPARE(w.mask(), mask);
        w.hide();

        ShapedWindow::setCompositorOverride(true);
        w.show();
        QVERIFY(!w.isShaped());
        QVERIFY(w.mask().isEmpty());
        const QRegion input = w.inputShape();
        QVERIFY(!input.isEmpty());
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                wrong += input.contains(QPoint(x, y)) != solid(image, x, y);
        QCOMPARE(wrong, 0);
        w.hide();
    }
}

void TestCharacterWindow::shapesAreWorkedOutOncePerImage()
{
    const CharacterModel model = kess();
    const CharacterRenderer renderer(model);
    const QList<Pose> poses = somePoses(model);
    ShapedWindow::setCompositorOverride(false);
    ShapedWindow w;
    w.setFrame(renderer.render(poses[0], 2.0));
    w.show();
    const int made = w.shapeCount();
    QCOMPARE(made, 1);
    const QRegion rest = w.shape();
    w.setFrame(renderer.render(poses[1], 2.0));
    QCOMPARE(w.shapeCount(), 2);
    QVERIFY(w.shape() != rest);
    // The same pose again: the renderer's image, whose shape is known.
    w.setFrame(renderer.render(poses[0], 2.0));
    w.setFrame(renderer.render(poses[1], 2.0));
    w.setFrame(renderer.render(poses[0], 2.0));
    QCOMPARE(w.shapeCount(), 2);
    QCOMPARE(w.shape(), rest);
    QCOMPARE(w.mask(), rest);

    // An image drawn over again is another image: its shape is worked out
    // anew, not taken from what it held before.
    QImage image = renderer.render(poses[1], 2.0).copy();
    w.setFrame(image);
    const QRegion before = w.shape();
    const int count = w.shapeCount();
    w.setFrame(QImage());
    {
        QPainter p(&image);
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.fillRect(QRect(0, 0, image.width(), image.height() / 2), Qt::transparent);
    }
    w.setFrame(image);
    QCOMPARE(w.shapeCount(), count + 1);
    QVERIFY(w.shape() != before);
    QVERIFY(!w.shape().intersects(QRect(0, 0, model.size.width(), model.size.height() / 2)));
}

void TestCharacterWindow::onlyChangedPixelsArePainted()
{
    const CharacterModel model = kess();
    const CharacterRenderer renderer(model);
    for (const bool composited : {false, true}) {
        ShapedWindow::setCompositorOverride(composited);
        RecordingWindow w;
        const QImage rest = renderer.render(model.restPose, 2.0);
        w.setFrame(rest);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY(!w.painted.isEmpty());
        QTest::qWait(50);
        w.painted.clear();

        // A blink: a few device pixels change.
        QImage blink = rest.copy();
        blink.setDevicePixelRatio(1.0); // painted in device pixels
        {
            QPainter p(&blink);
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.fillRect(QRect(81, 100, 10, 6), QColor(10, 20, 30));
        }
        blink.setDevicePixelRatio(2.0);
        w.setFrame(blink);
        QTRY_VERIFY(!w.painted.isEmpty());
        QTest::qWait(50);
        QRegion painted;
        for (const QRect &r : std::as_const(w.painted))
            painted += r;
        // Device pixels 81..90 x 100..105 are window pixels 40..45 x 50..52.
        QCOMPARE(painted.boundingRect(), QRect(40, 50, 6, 3));
        // And what is on the window is the new frame.
        const QImage grabbed = w.grab().toImage();
        QCOMPARE(grabbed.pixelColor(85, 102).rgb() & 0xffffffu, QColor(10, 20, 30).rgb() & 0xffffffu);

        // The same image again paints nothing.
        w.painted.clear();
        w.setFrame(blink);
        QTest::qWait(100);
        QVERIFY(w.painted.isEmpty());
    }
}

int main(int argc, char **argv)
{
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestCharacterWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_character_window.moc"
