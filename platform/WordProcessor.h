#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace kestrova {

// One running word processor as its automation interface shows it.
// Destroying the object releases it: the word processor and the windows the
// user sees stay open. Every call blocks until the word processor answers;
// a word processor that has gone away makes the call fail.
class WordApplication {
public:
    virtual ~WordApplication() = default;
    // Shows the word processor (or hides it). False when it cannot.
    virtual bool setVisible(bool visible) = 0;
    // Adds a new, empty text document. False when it cannot.
    virtual bool addDocument() = 0;
    // The text of the current selection in the active document (empty when
    // nothing is selected); nothing when the word processor cannot be asked.
    virtual std::optional<QString> selectionText() = 0;
};

// Starts word processors. On Linux this is LibreOffice Writer driven
// through UNO; a Windows build creates "Word.Application" through COM.
class WordProcessor {
public:
    virtual ~WordProcessor() = default;
    // Starts a new instance and connects to it; nothing when the word
    // processor is not installed or does not answer within its bound.
    virtual std::unique_ptr<WordApplication> createApplication() = 0;
    // Connects to the word processor the user already has running, one
    // started otherwise than by createApplication (its menu entry, another
    // program), without starting one. Nothing when none runs or it does not
    // answer; the reason is logged.
    virtual std::unique_ptr<WordApplication> connectToRunning() { return nullptr; }
    // The program is ending: a start under way gives up as soon as it can
    // (returning nothing) and later starts fail at once. Called from the
    // user-interface thread while a start may run on another.
    virtual void abandon() {}
};

} // namespace kestrova
