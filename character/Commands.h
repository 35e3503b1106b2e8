#pragma once

#include <QList>
#include <QString>

namespace kestrova::character {

// One entry of a character's command list: what the Command event reports
// (name), what its popup menu and commands window show (caption), what the
// user may say (voice grammar), what it does, and how it is offered.
struct Command {
    QString name;
    QString caption;
    QString voice;
    QString description;      // what it does, in a sentence (the commands window)
    bool enabled = true;
    bool visible = true;      // listed in the character's popup menu
    int confidence = 0;       // a match at or below this shows confidenceText
    QString confidenceText;
    bool strict = false;      // spoken, taken only on strong evidence
};

// The command list of a character. Names are unique; adding a name that is
// already there replaces nothing and is reported as failure, as the service
// does for a duplicate command.
class Commands {
public:
    QString caption() const { return m_caption; }
    void setCaption(const QString &caption) { m_caption = caption; }
    QString voice() const { return m_voice; }
    void setVoice(const QString &voice) { m_voice = voice; }
    bool visible() const { return m_visible; }
    void setVisible(bool visible) { m_visible = visible; }

    bool add(const QString &name, const QString &caption, const QString &voice,
             bool enabled = true, bool visible = true);
    Command *item(const QString &name);
    const Command *item(const QString &name) const;
    const QList<Command> &all() const { return m_commands; }
    int count() const { return int(m_commands.size()); }
    void removeAll() { m_commands.clear(); }

private:
    QString m_caption;
    QString m_voice;
    bool m_visible = false;
    QList<Command> m_commands;
};

} // namespace kestrova::character
