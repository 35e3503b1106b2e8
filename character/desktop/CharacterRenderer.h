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

    // Paints the pose into a rectangle of the model's size at the painter's
    // origin (the painter may be scaled for high-density screens).
    void paint(QPainter &painter, const Pose &pose) const;

    // The pose as an ARGB image of size() * scale, transparent around the
    // character.
    QImage render(const Pose &pose, qreal scale = 1.0) const;

private:
    void paintParts(QPainter &painter, const Pose &pose) const;
    // A part's transform in root space, its parents' included; fills in its
    // effective opacity (its own times its parents') as well.
    QTransform partWorld(const Pose &pose, const QString &partId, QHash<QString, QTransform> &cache,
                         QHash<QString, qreal> &opacity) const;

    const CharacterModel &m_model;
    std::unique_ptr<QSvgRenderer> m_svg;
};

} // namespace kestrova::character
