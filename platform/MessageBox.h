#pragma once

#include <QString>

namespace kestrova {

// A message box with one OK button, shown modal; returns when the user has
// closed it.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual void show(const QString &text, const QString &title) = 0;
};

} // namespace kestrova
