#include "Forms.h"

namespace kestrova {

void Forms::loaded(QWidget *form)
{
    if (!form || isLoaded(form))
        return;
    m_forms.append(form);
    // A window deleted by other means leaves the collection too.
    connect(form, &QObject::destroyed, this, [this, form] { forget(form); });
}

bool Forms::isLoaded(const QWidget *form) const
{
    for (const auto &f : m_forms)
        if (f == form)
            return true;
    return false;
}

int Forms::count() const
{
    int n = 0;
    for (const auto &f : m_forms)
        n += f ? 1 : 0;
    return n;
}

QList<QWidget *> Forms::all() const
{
    QList<QWidget *> out;
    for (const auto &f : m_forms)
        if (f)
            out.append(f);
    return out;
}

void Forms::unload(QWidget *form)
{
    if (!form || !isLoaded(form))
        return;
    // Out of the collection first: a close handler that asks for the window
    // again must not find it loaded.
    forget(form);
    form->close();
    form->deleteLater();
}

void Forms::unloadAll()
{
    // Walk a snapshot: unloading one window may load or unload others.
    const QList<QWidget *> snapshot = all();
    for (qsizetype i = snapshot.size() - 1; i >= 0; --i)
        unload(snapshot.at(i));
}

void Forms::forget(QWidget *form)
{
    const qsizetype before = m_forms.size();
    m_forms.removeIf([form](const QPointer<QWidget> &f) { return f.isNull() || f == form; });
    if (before > 0 && m_forms.isEmpty())
        Q_EMIT lastUnloaded();
}

} // namespace kestrova
