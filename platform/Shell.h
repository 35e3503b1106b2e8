#pragma once

#include <QString>

namespace kestrova {

// Opens what the user asked for the way the desktop would: a web address or
// mail address in the desktop's handler, a program by starting it, a
// document in the program associated with it.
class Shell {
public:
    virtual ~Shell() = default;
    // Returns whether the target could be handed on.
    virtual bool open(const QString &target) = 0;
};

} // namespace kestrova
