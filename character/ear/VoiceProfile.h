#pragma once

// The user's voice profile: what learning the user's voice made of the
// speech model, kept in the user's data folder. Either a whole adapted
// model (model/, the means, variances and weights moved towards the
// user's voice) or a transform of the stock model's means (mllr_matrix),
// or both. No profile: the stock model.

#include <QString>

namespace kestrova::character {

class VoiceProfile {
public:
    // The profile's folder: the user's data folder's "voice".
    static QString defaultFolder();

    explicit VoiceProfile(QString folder = defaultFolder());

    QString folder() const { return m_folder; }
    // The adapted model's folder when there is a usable one, else empty.
    QString modelFolder() const;
    // The transform file when there is one, else empty.
    QString transformFile() const;
    bool exists() const { return !modelFolder().isEmpty() || !transformFile().isEmpty(); }
    // Changes whenever the profile is made or forgotten (empty without one):
    // the recogniser is made again when it differs from the one it was
    // made with.
    QString stamp() const;
    // What the profile is, for the log: "adapted model", "transform" or both.
    QString describe() const;

    // Puts a finished profile (a folder) in place of the current one, in
    // one step as far as the file system allows. False with *error.
    bool install(const QString &madeFolder, QString *error = nullptr) const;
    // Removes the profile: the recogniser goes back to the stock model.
    bool forget(QString *error = nullptr) const;

private:
    QString m_folder;
};

} // namespace kestrova::character
