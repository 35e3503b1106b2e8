#include "CharacterRenderer.h"

#include <QPainter>
#include <QSvgRenderer>

#include <cmath>

namespace kestrova::character {

namespace {

const QString kRoot = QStringLiteral("root");

// The transform that places a part posed as pp about its pivot: scaled and
// turned about the pivot, then moved by (dx, dy).
QTransform partTransform(const PartPose &pp, const QPointF &pivot)
{
    QTransform t;
    t.translate(pivot.x() + pp.dx, pivot.y() + pp.dy);
    t.rotate(pp.rotation);
    t.scale(pp.scaleX, pp.scaleY);
    t.translate(-pivot.x(), -pivot.y());
    return t;
}

// How many device pixels one character pixel covers on this painter.
qreal deviceScale(const QPainter &painter)
{
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const qreal s = std::sqrt(std::abs(painter.worldTransform().determinant()));
    return std::max<qreal>(dpr * (s > 0 ? s : 1.0), 0.25);
}

} // namespace

CharacterRenderer::CharacterRenderer(const CharacterModel &model)
    : m_model(model), m_svg(std::make_unique<QSvgRenderer>(model.artFile))
{
}

CharacterRenderer::~CharacterRenderer() = default;

bool CharacterRenderer::isValid() const { return m_svg && m_svg->isValid(); }

QRectF CharacterRenderer::elementBounds(const QString &element) const
{
    const auto it = m_bounds.constFind(element);
    if (it != m_bounds.cend())
        return *it;
    const QRectF viewBox = m_svg->viewBoxF();
    const qreal ax = viewBox.width() > 0 ? m_model.size.width() / viewBox.width() : 1.0;
    const qreal ay = viewBox.height() > 0 ? m_model.size.height() / viewBox.height() : 1.0;
    // Art coordinates -> character pixels.
    QTransform art;
    art.scale(ax, ay);
    art.translate(-viewBox.x(), -viewBox.y());
    const QRectF bounds = art.mapRect(m_svg->boundsOnElement(element));
    m_bounds.insert(element, bounds);
    return bounds;
}

const CharacterRenderer::Sprite &CharacterRenderer::sprite(const QString &element, const QRectF &bounds,
                                                             qreal scale) const
{
    if (scale != m_spriteScale) {
        m_sprites.clear();
        m_spriteScale = scale;
    }
    const auto it = m_sprites.constFind(element);
    if (it != m_sprites.cend())
        return *it;
    // Whole device pixels, with one to spare for the antialiased edge.
    const QRect px = QRectF(bounds.topLeft() * scale, bounds.size() * scale).toAlignedRect().adjusted(-1, -1, 1, 1);
    Sprite s;
    s.image = QImage(px.size(), QImage::Format_ARGB32_Premultiplied);
    s.image.fill(Qt::transparent);
    {
        QPainter p(&s.image);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(-px.x(), -px.y());
        p.scale(scale, scale);
        m_svg->render(&p, element, bounds);
    }
    s.rect = QRectF(QPointF(px.topLeft()) / scale, QSizeF(px.size()) / scale);
    return *m_sprites.insert(element, s);
}

void CharacterRenderer::paint(QPainter &painter, const Pose &pose, Quality quality) const
{
    if (!isValid())
        return;
    const PartPose root = pose.value(kRoot, m_model.restPose.value(kRoot));
    if (root.opacity <= 0.001)
        return;
    // A fading character is drawn whole first and then faded, so its parts
    // do not show through one another.
    if (root.opacity < 0.999) {
        const qreal s = deviceScale(painter);
        QImage layer((QSizeF(m_model.size) * s).toSize(), QImage::Format_ARGB32_Premultiplied);
        layer.fill(Qt::transparent);
        {
            QPainter lp(&layer);
            lp.scale(s, s);
            paintParts(lp, pose, quality);
        }
        painter.save();
        painter.setOpacity(painter.opacity() * root.opacity);
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(m_model.size)), layer);
        painter.restore();
        return;
    }
    paintParts(painter, pose, quality);
}

QTransform CharacterRenderer::partWorld(const Pose &pose, const QString &partId,
                                        QHash<QString, QTransform> &cache,
                                        QHash<QString, qreal> &opacity) const
{
    const auto cached = cache.constFind(partId);
    if (cached != cache.cend())
        return cached.value();
    const Part *part = nullptr;
    for (const Part &p : m_model.parts) {
        if (p.id == partId) {
            part = &p;
            break;
        }
    }
    if (!part)
        return {};
    const PartPose pp = pose.value(partId, m_model.restPose.value(partId));
    QTransform world = partTransform(pp, part->pivot);
    qreal alpha = pp.opacity;
    // The loader guarantees parents exist and never loop back.
    if (!part->parent.isEmpty() && part->parent != kRoot) {
        world = world * partWorld(pose, part->parent, cache, opacity);
        alpha *= opacity.value(part->parent, 1.0);
    }
    cache.insert(partId, world);
    opacity.insert(partId, alpha);
    return world;
}

void CharacterRenderer::paintParts(QPainter &painter, const Pose &pose, Quality quality) const
{
    const PartPose root = pose.value(kRoot, m_model.restPose.value(kRoot));
    // Taken before any part sets the painter's transform.
    const qreal ds = deviceScale(painter);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QTransform base = partTransform(root, m_model.rootPivot) * painter.worldTransform();

    const qreal baseOpacity = painter.opacity();
    QHash<QString, QTransform> cache;
    QHash<QString, qreal> opacity;
    for (const Part &part : m_model.parts) {
        const QTransform world = partWorld(pose, part.id, cache, opacity);
        const qreal alpha = opacity.value(part.id, 1.0);
        if (alpha <= 0.001)
            continue;
        const PartPose pp = pose.value(part.id, m_model.restPose.value(part.id));
        const QString element = pp.element.isEmpty() ? part.element : pp.element;
        const QRectF bounds = elementBounds(element);
        if (bounds.isEmpty())
            continue;

        // A part only moved by whole device pixels looks the same from its
        // image as from the vector art (SourceOver composes either way), and
        // costs a copy instead of a path fill.
        const QTransform device = world * base;
        auto whole = [](qreal v) { return std::abs(v - std::round(v)) < 1e-6; };
        const bool onGrid = quality == Quality::Exact && alpha >= 0.999 && device.type() <= QTransform::TxScale
            && std::abs(device.m11() - ds) < 1e-9 && std::abs(device.m22() - ds) < 1e-9 && whole(device.dx())
            && whole(device.dy());
        if (quality == Quality::Fast || onGrid) {
            // A part's image is one piece: fading it never shows its own
            // strokes through each other.
            // Its border is a transparent pixel wide, so the edges of the
            // turned image need no antialiasing of their own: without it a
            // row is one span, and a band stays below the size Qt's raster
            // engine hands to its threads.
            const Sprite &s = sprite(element, bounds, ds);
            painter.setRenderHint(QPainter::Antialiasing, false);
            painter.setWorldTransform(world * base);
            painter.setOpacity(baseOpacity * alpha);
            painter.drawImage(s.rect, s.image);
            painter.setOpacity(baseOpacity);
            continue;
        }
        painter.setRenderHint(QPainter::Antialiasing);
        if (alpha >= 0.999) {
            painter.setWorldTransform(world * base);
            m_svg->render(&painter, element, bounds);
            continue;
        }
        // A part fading in or out: drawn whole on a layer of its own.
        painter.setWorldTransform(base);
        const qreal s = deviceScale(painter);
        QImage layer((QSizeF(m_model.size) * s).toSize(), QImage::Format_ARGB32_Premultiplied);
        layer.fill(Qt::transparent);
        {
            QPainter lp(&layer);
            lp.setRenderHint(QPainter::Antialiasing);
            lp.setWorldTransform(world * QTransform::fromScale(s, s));
            m_svg->render(&lp, element, bounds);
        }
        painter.setOpacity(baseOpacity * alpha);
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(m_model.size)), layer);
        painter.setOpacity(baseOpacity);
    }
    painter.restore();
}

QByteArray CharacterRenderer::frameKey(const Pose &pose, qreal scale) const
{
    // Every drawn part's values, resolved against the rest pose, to a
    // thousandth (what samePose tells apart), in the model's order.
    QByteArray key;
    key.reserve(int(m_model.parts.size() + 1) * 28 + 16);
    auto add = [&](const QString &id) {
        const PartPose pp = pose.value(id, m_model.restPose.value(id));
        const qint32 values[] = {qint32(std::lround(pp.dx * 1000)),     qint32(std::lround(pp.dy * 1000)),
                                 qint32(std::lround(pp.rotation * 1000)), qint32(std::lround(pp.scaleX * 1000)),
                                 qint32(std::lround(pp.scaleY * 1000)), qint32(std::lround(pp.opacity * 1000))};
        key.append(reinterpret_cast<const char *>(values), sizeof values);
        key.append(reinterpret_cast<const char *>(pp.element.constData()), pp.element.size() * 2);
        key.append('\0');
    };
    const qint64 s = std::llround(scale * 1000);
    key.append(reinterpret_cast<const char *>(&s), sizeof s);
    add(kRoot);
    for (const Part &part : m_model.parts)
        add(part.id);
    return key;
}

QImage CharacterRenderer::blank(qreal scale) const
{
    const QSize size = (QSizeF(m_model.size) * scale).toSize();
    for (qsizetype i = 0; i < m_spare.size(); ++i) {
        // Held by the spare list alone: nobody shows it any more.
        if (m_spare.at(i).isDetached() && m_spare.at(i).size() == size) {
            QImage image = m_spare.takeAt(i);
            image.setDevicePixelRatio(1.0);
            image.fill(Qt::transparent);
            return image;
        }
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage CharacterRenderer::render(const Pose &pose, qreal scale, Quality quality) const
{
    QByteArray key;
    if (quality == Quality::Exact) {
        key = frameKey(pose, scale);
        const auto it = m_frames.find(key);
        if (it != m_frames.end()) {
            it->used = ++m_useClock;
            return it->image;
        }
    }
    ++m_draws;
    QImage image = blank(scale);
    // Fast, in bands of fewer than 96 rows: Qt's raster engine hands larger
    // blends to its thread pool, and waking its threads for these small
    // blends 30 times a second costs more than the blends. An exact drawing
    // is made once per pose and may fill paths, which bands would repeat.
    const int band = quality == Quality::Fast ? BandRows : image.height();
    for (int top = 0; top < image.height(); top += band) {
        QPainter painter(&image);
        painter.setClipRect(QRect(0, top, image.width(), band));
        painter.scale(scale, scale);
        paint(painter, pose, quality);
    }
    image.setDevicePixelRatio(scale);
    if (quality == Quality::Fast) {
        // Two or three are enough: the one shown and the one replacing it.
        if (m_spare.size() < 3)
            m_spare.append(image);
        return image;
    }
    const qsizetype bytes = image.sizeInBytes();
    while (!m_frames.isEmpty() && m_frameBytes + bytes > FrameCacheBytes) {
        auto oldest = m_frames.begin();
        for (auto it = m_frames.begin(); it != m_frames.end(); ++it)
            if (it->used < oldest->used)
                oldest = it;
        m_frameBytes -= oldest->image.sizeInBytes();
        m_frames.erase(oldest);
    }
    if (bytes <= FrameCacheBytes) {
        m_frames.insert(key, {image, ++m_useClock});
        m_frameBytes += bytes;
    }
    return image;
}

} // namespace kestrova::character
