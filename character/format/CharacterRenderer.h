#pragma once

#include "CharacterModel.h"

#include <QHash>
#include <QImage>
#include <QTransform>
#include <memory>

class QPainter;
class QSvgRenderer;

namespace kestrova::character {

// Draws a character in a pose. One renderer per loaded character; the SVG is
// parsed once. The renderer keeps a reference to the model, which must
// outlive it.
class CharacterRenderer {
public:
    explicit CharacterRenderer(const CharacterModel &model);
    ~CharacterRenderer();

    bool isValid() const;

    // Exact draws every part from the vector art; Fast draws parts from
    // images of them made once per scale, moved, turned and stretched with
    // smooth filtering: a tenth of the time, a little softer where a part
    // is turned or stretched. Fast suits poses that change 30 times a
    // second (tweens); what stays on the screen is drawn Exact.
    enum class Quality { Exact, Fast };

    // Paints the pose into a rectangle of the model's size at the painter's
    // origin (the painter may be scaled for high-density screens).
    void paint(QPainter &painter, const Pose &pose, Quality quality = Quality::Exact) const;

    // The pose as an ARGB image of size() * scale device pixels, transparent
    // around the character; its device pixel ratio is the scale.
    //
    // Exact drawings are kept (up to FrameCacheBytes, the least recently
    // used go first): a pose shown again, a held frame of an animation
    // played again, a mouth shape, costs a look-up. Fast drawings change
    // with every tween tick and are not kept; they are drawn into images
    // the caller has let go of, so a tween allocates nothing per frame.
    // Either way the image handed out is shared: the caller must not draw
    // into it (a copy would be made if it did).
    QImage render(const Pose &pose, qreal scale = 1.0, Quality quality = Quality::Exact) const;

    static constexpr qsizetype FrameCacheBytes = 6 * 1024 * 1024;
    static constexpr int BandRows = 64;
    // How many drawings render() made (cache misses), for tests and
    // benchmarks.
    int drawCount() const { return m_draws; }

private:
    struct Sprite {
        QImage image;
        QRectF rect; // where it goes, in character pixels
    };
    const Sprite &sprite(const QString &element, const QRectF &bounds, qreal scale) const;
    QRectF elementBounds(const QString &element) const;
    void paintParts(QPainter &painter, const Pose &pose, Quality quality) const;
    // A part's transform in root space, its parents' included; fills in its
    // effective opacity (its own times its parents') as well.
    QTransform partWorld(const Pose &pose, const QString &partId, QHash<QString, QTransform> &cache,
                         QHash<QString, qreal> &opacity) const;

    const CharacterModel &m_model;
    std::unique_ptr<QSvgRenderer> m_svg;
    // Element bounds in character pixels, and the parts' images at one
    // device scale (made again when the scale changes).
    mutable QHash<QString, QRectF> m_bounds;
    mutable QHash<QString, Sprite> m_sprites;
    mutable qreal m_spriteScale = 0;

    QByteArray frameKey(const Pose &pose, qreal scale) const;
    QImage blank(qreal scale) const;
    struct CachedFrame {
        QImage image;
        quint64 used = 0;
    };
    mutable QHash<QByteArray, CachedFrame> m_frames;
    mutable qsizetype m_frameBytes = 0;
    mutable quint64 m_useClock = 0;
    // Images once handed out for fast drawings, drawn over again once
    // nobody else holds them.
    mutable QList<QImage> m_spare;
    mutable int m_draws = 0;
};

} // namespace kestrova::character
