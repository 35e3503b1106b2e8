#pragma once

#include "CharacterRef.h"

#include <QTimer>
#include <QWidget>

class QAction;
class QMenu;

namespace kestrova {

class Application;

// The host window "Agent": never shown, it owns the one loaded character for
// the whole run, greets the user at start-up and ends the program: the
// farewell is queued, and when the character has finished hiding, every
// window is unloaded.
//
// The window is called "Agent" (its object name) and so is the public
// member that holds the loaded character; C++ does not let a class hold a
// member of its own name, so the class is AgentForm.
class AgentForm : public QWidget {
    Q_OBJECT
public:
    explicit AgentForm(Application &app);
    ~AgentForm() override;

    // The window's load: loads the character and counts the run.
    void Form_Load();

    void SetAgent();
    // The accessory commands on or off as the user's choices are applied.
    void ApplyAccessories();
    void StartAgent();
    void AgentQuit();
    // Unloads every window at once; the quit goes through EndProgram.
    void UnloadForms();
    void AgentVisible();
    // The chooser's "switch now": the running character says goodbye and
    // hides, then the named one (a character folder's name) takes its
    // place at the rest position, with the commands, and greets. One that
    // cannot be used leaves the running character in place, shown, and the
    // user is told why. Nothing while the program is ending.
    void SwitchAgent(const QString &name);
    // A switch waits for the farewell's hide.
    bool switching() const { return !SwitchRequest.isNull(); }
    // The farewell is queued or the windows are unloading.
    bool ending() const { return m_unloading || !QuitRequest.isNull(); }

    void AgentCtrl_RequestComplete(const character::Request &request);
    void AgentCtrl_Command(const character::UserInput &input);
    void AgentCtrl_Click(const QString &characterId, int button, int shift, int x, int y);
    void AgentCtrl_DblClick(const QString &characterId, int button, int shift, int x, int y);
    void MnuYes_Click();
    void MnuNo_Click();

    // The loaded character; empty while none is loaded.
    character::CharacterRef Agent;
    // The last prompt to repeat a spoken command.
    character::Request SpeechInputRequest;
    qint16 RunNumber = 0;
    int RetryCount = 0;

    // The Yes/No answer to the first run's offer of a tour.
    QMenu *MnuTour = nullptr;
    QAction *MnuYes = nullptr;
    QAction *MnuNo = nullptr;

    // How long the farewell and the hide may take, from the quit on, before
    // they are cut short and the program ends.
    static constexpr int QuitDeadlineMs = 1500;

    // Held for the tests of the shut-down: the farewell hide and the tour
    // offer.
    character::Request quitRequest() const { return QuitRequest; }
    character::Request tourRequest() const { return TourRequest; }
    character::Request switchRequest() const { return SwitchRequest; }

private:
    void SetCommands();
    // The steps after the load: language, balloon, commands.
    void SetUpAgent();
    // The greeting and the farewell by the character's name.
    void Greet();
    void Farewell();
    // The farewell of a switch has ended: the prepared character takes the
    // old one's place.
    void TakeSwitchedAgent();
    // A switch under way is given up; the running character stays.
    void CancelSwitch();
    // Tells the user that the character service refused a character, and
    // what it loaded instead.
    void TellRefusal(const QString &text);
    void AgentNotUnderstood();

    // The user's name as the options window's LblUser shows it now, as a
    // piece of a speech text: said as it stands.
    QString userName() const;

    Application &m_app;
    character::Request QuitRequest;
    character::Request TourRequest;
    character::Request SwitchRequest;
    // Set once the end is under way: from the end of the farewell (the
    // windows may still wait for a dialog's loop to return) to the exit.
    bool m_unloading = false;
    // The character and the windows go, from the main event loop.
    void EndProgram();
    // The end stops what could speak or load a window meanwhile.
    void StopWatches();
    // From the first quit: the farewell that has not ended by then is cut
    // short, so that the program always ends in time.
    QTimer m_quitDeadline;
    void QuitDeadline_Timer();
    // A click that stops the character while it offers the tour: the
    // offer's menu waits out a double click, which it would otherwise
    // catch (a double click makes the character listen instead).
    bool m_clickStopping = false;
    QTimer m_tourMenuLater;
    void PopupTourMenu();
    // Where the Yes/No menu pops up.
    QPoint tourMenuPlace() const;
    // The first run's question has been answered (or can no longer be):
    // its balloon goes and the balloon setting is the user's again.
    void EndTourQuestion();
    bool m_tourQuestionOpen = false;
    int m_styleBeforeQuestion = 0;
};

} // namespace kestrova
