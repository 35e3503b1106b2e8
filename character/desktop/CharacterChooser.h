#pragma once

#include "AnimationPlayer.h"
#include "CharacterModel.h"
#include "CharacterRenderer.h"

#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <memory>

class QCheckBox;
class QLabel;
class QListWidget;
class QDialogButtonBox;

namespace kestrova::character {

// A character playing in a widget: its Greet, then now and then one of its
// idle animations. Nothing is drawn or timed while the widget is hidden.
class CharacterPreview : public QWidget {
    Q_OBJECT
public:
    explicit CharacterPreview(QWidget *parent = nullptr);
    ~CharacterPreview() override;

    // The character to show; nothing clears it.
    void setCharacter(std::optional<CharacterModel> model);
    const CharacterModel *model() const { return m_model.get(); }
    bool isPlaying() const { return m_player.isPlaying() || m_next.isActive(); }
    // Pose changes drawn since the character was set, for tests.
    int paints() const { return m_paints; }

    QSize sizeHint() const override { return {180, 180}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void start();
    void playNext();

    std::unique_ptr<CharacterModel> m_model;
    std::unique_ptr<CharacterRenderer> m_renderer;
    AnimationPlayer m_player;
    QTimer m_next;
    int m_round = 0;
    int m_paints = 0;
};

// The default-character chooser: every installed character (the user's
// folder first; a user's character hides the program's of the same name)
// with its name and description, and the selected one playing beside the
// list. A character that does not load is listed greyed, the loader's
// error as its tooltip, and cannot be chosen. The choice takes effect the
// next time Kestrova starts; with the box "Switch to it now" ticked it also
// takes the running character's place at once. The note under the list
// says which of the two the user is about to get.
//
// Object names: the dialog "kestrovaCharacterChooser", the list
// "kestrovaCharacterList", the preview "kestrovaCharacterPreview", the name
// "kestrovaCharacterName" (cut to its width, the whole name its tooltip), the box
// "kestrovaSwitchNow", the note "kestrovaChooserNote".
class CharacterChooser : public QDialog {
    Q_OBJECT
public:
    CharacterChooser(const QString &programDir, const QString &currentDefault, QWidget *parent = nullptr);

    // The folder name of the character selected; empty when none.
    QString chosen() const;
    QListWidget *list() const { return m_list; }
    CharacterPreview *preview() const { return m_preview; }
    QCheckBox *switchNowBox() const { return m_switchNow; }
    QLabel *note() const { return m_note; }

    // Whether the choice is wanted now as well as at the next start.
    bool switchNow() const;
    void setSwitchNow(bool on);

    // As written; the note shows them translated.
    static inline const char NextStartNote[] =
        QT_TRANSLATE_NOOP("kestrova::character::CharacterChooser", "The character you choose appears the next time Kestrova starts.");
    static inline const char SwitchNowNote[] =
        QT_TRANSLATE_NOOP("kestrova::character::CharacterChooser", "The character you choose takes over now: the one on your desktop says goodbye, "
                       "and the new one appears there and greets you. It also appears each time Kestrova starts.");

private:
    void selectionChanged();
    void updateNote();

    QString m_programDir;
    QListWidget *m_list = nullptr;
    CharacterPreview *m_preview = nullptr;
    QLabel *m_name = nullptr;
    QLabel *m_description = nullptr;
    QCheckBox *m_switchNow = nullptr;
    QLabel *m_note = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};

} // namespace kestrova::character
