#pragma once

#include <QString>

namespace kestrova {

// The system's open-file dialog. The filter is written as pairs of a
// description and a pattern, all separated by "|" ("Text (*.txt)|*.txt|All
// Files (*.*)|*.*"). Returns the chosen file with its full path, or the
// empty text when the user cancels.
class OpenFileDialog {
public:
    virtual ~OpenFileDialog() = default;
    virtual QString getOpenFileName(const QString &title, const QString &filter,
                                    const QString &initialFile) = 0;
};

} // namespace kestrova
