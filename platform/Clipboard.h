#pragma once

#include <QString>

namespace kestrova {

// The desktop's clipboard, as plain text.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    // The clipboard's plain text; empty when it holds none.
    virtual QString text() const = 0;
};

} // namespace kestrova
