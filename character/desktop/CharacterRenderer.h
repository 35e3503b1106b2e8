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

    // The pose as an ARGB image of size() * scale, transparent around the
    // character.
    QImage render(const Pose &pose, qreal scale = 1.0, Quality quality = Quality::Exact) const;

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
};

} // namespace kestrova::character
