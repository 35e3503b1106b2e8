#include "CharacterChooser.h"
#include "ApplicationChooser.h"

#include <QScreen>
#include <QGuiApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace kestrova::character {

namespace {

// Between one animation of the preview and the next.
constexpr int PauseMs = 1200;

enum Role { FolderRole = Qt::UserRole, LoadsRole };

// A one-line label whose text, too long for its width, ends in "…", with
// the whole text as its tooltip. It asks for no width of its own beyond a
// few letters: a character's name (from its own file, any length, one word
// or many) never widens the window.
class CutLabel final : public QLabel {
public:
    CutLabel() { setTextFormat(Qt::PlainText); }
    void setWholeText(const QString &text)
    {
        m_whole = text;
        cut();
    }
    QString wholeText() const { return m_whole; }
    QSize minimumSizeHint() const override
    {
        return {fontMetrics().horizontalAdvance(QStringLiteral("Mmm…")), QLabel::minimumSizeHint().height()};
    }
    QSize sizeHint() const override
    {
        return {std::min(QLabel::sizeHint().width(), minimumSizeHint().width() * 4), QLabel::sizeHint().height()};
    }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        cut();
    }
    void changeEvent(QEvent *event) override
    {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::FontChange)
            cut();
    }

private:
    void cut()
    {
        // One line: a name read from a file may hold line breaks.
        QString line = m_whole;
        line.replace(u'\n', u' ').replace(u'\r', u' ');
        const QString shown = fontMetrics().elidedText(line, Qt::ElideRight, std::max(0, contentsRect().width()));
        if (shown != text())
            setText(shown);
        setToolTip(shown == m_whole ? QString() : m_whole);
    }

    QString m_whole;
};

} // namespace

CharacterPreview::CharacterPreview(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("kestrovaCharacterPreview"));
    setMinimumSize(140, 140);
    m_next.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, &CharacterPreview::playNext);
    connect(&m_player, &AnimationPlayer::poseChanged, this, [this] {
        ++m_paints;
        update();
    });
    connect(&m_player, &AnimationPlayer::finished, this, [this] {
        if (isVisible())
            m_next.start(PauseMs);
    });
}

CharacterPreview::~CharacterPreview()
{
    m_player.halt();
    m_renderer.reset();
}

void CharacterPreview::setCharacter(std::optional<CharacterModel> model)
{
    m_player.halt();
    m_next.stop();
    m_renderer.reset();
    m_model.reset();
    m_paints = 0;
    if (model) {
        m_model = std::make_unique<CharacterModel>(std::move(*model));
        m_renderer = std::make_unique<CharacterRenderer>(*m_model);
        if (!m_renderer->isValid()) {
            m_renderer.reset();
            m_model.reset();
        }
    }
    if (m_model)
        m_player.setPose(m_model->restPose);
    update();
    if (isVisible())
        start();
}

void CharacterPreview::start()
{
    m_round = 0;
    playNext();
}

void CharacterPreview::playNext()
{
    if (!m_model || !isVisible())
        return;
    // Greet first, then idling of every level in turn, then Greet again.
    const Animation *animation = nullptr;
    if (m_round % 4 == 0)
        animation = m_model->animation(QStringLiteral("Greet"));
    if (!animation) {
        const QString state = QStringLiteral("idle-%1").arg((m_round % 4 + 2) / 2);
        animation = m_model->stateAnimation(state, m_round);
    }
    ++m_round;
    if (animation)
        m_player.play(animation);
    else
        m_next.start(PauseMs);
}

void CharacterPreview::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    start();
}

void CharacterPreview::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_player.halt();
    m_next.stop();
}

void CharacterPreview::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    if (!m_model || !m_renderer) {
        painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
        painter.drawText(rect(), Qt::AlignCenter, tr("No preview"));
        return;
    }
    const QSizeF size = m_model->size;
    const qreal scale = std::min((width() - 8) / size.width(), (height() - 8) / size.height());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate((width() - size.width() * scale) / 2, (height() - size.height() * scale) / 2);
    painter.scale(scale, scale);
    m_renderer->paint(painter, m_player.pose(),
                      m_player.isTweening() ? CharacterRenderer::Quality::Fast : CharacterRenderer::Quality::Exact);
}

CharacterChooser::CharacterChooser(const QString &programDir, const QString &currentDefault, QWidget *parent)
    : QDialog(parent), m_programDir(programDir)
{
    setObjectName(QStringLiteral("kestrovaCharacterChooser"));
    setWindowTitle(tr("Choose a Character"));

    m_list = new QListWidget;
    m_list->setObjectName(QStringLiteral("kestrovaCharacterList"));
    m_list->setMinimumWidth(240);
    m_list->setWordWrap(true);
    m_list->setSpacing(2);
    m_preview = new CharacterPreview;
    m_name = new CutLabel;
    m_name->setObjectName(QStringLiteral("kestrovaCharacterName"));
    QFont bold = m_name->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    m_name->setFont(bold);
    // Both come from the character's own file: shown as written, never as
    // markup.
    m_name->setTextFormat(Qt::PlainText);
    m_description = new QLabel;
    m_description->setTextFormat(Qt::PlainText);
    m_description->setWordWrap(true);
    auto *listLabel = new QLabel(tr("&Characters:"));
    listLabel->setBuddy(m_list);
    m_switchNow = new QCheckBox(tr("Switch to it &now"));
    m_switchNow->setObjectName(QStringLiteral("kestrovaSwitchNow"));
    m_note = new QLabel(tr(NextStartNote));
    m_note->setObjectName(QStringLiteral("kestrovaChooserNote"));
    m_note->setWordWrap(true);
    // The two notes differ in length; the window keeps room for the longer.
    m_note->setMinimumHeight(m_note->fontMetrics().lineSpacing() * 2);
    connect(m_switchNow, &QCheckBox::toggled, this, &CharacterChooser::updateNote);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    m_buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(m_buttons, &QDialogButtonBox::accepted, this, [this] {
        if (!chosen().isEmpty())
            accept();
    });
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // The user's folder first: the first of a name wins.
    QStringList seen;
    for (const QString &base : characterFolders(programDir)) {
        const QDir dir(base);
        for (const QString &sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
            if (seen.contains(sub) || !QFileInfo(dir.filePath(sub + QStringLiteral("/character.json"))).isFile())
                continue;
            seen << sub;
            QString error;
            const std::optional<CharacterModel> model = CharacterModel::load(dir.filePath(sub), &error);
            auto *item = new QListWidgetItem;
            item->setData(FolderRole, sub);
            item->setData(LoadsRole, bool(model));
            if (model) {
                item->setText(model->description.isEmpty() ? model->name
                                                           : model->name + u'\n' + model->description);
                item->setToolTip(dir.filePath(sub));
            } else {
                item->setText(tr("%1 (cannot be loaded)").arg(sub));
                item->setToolTip(error);
                item->setFlags(Qt::NoItemFlags);
            }
            m_list->addItem(item);
        }
    }
    connect(m_list, &QListWidget::currentItemChanged, this, &CharacterChooser::selectionChanged);
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        if (item->data(LoadsRole).toBool())
            accept();
    });

    auto *right = new QVBoxLayout;
    right->addWidget(m_preview, 1);
    right->addWidget(m_name);
    right->addWidget(m_description);
    auto *left = new QVBoxLayout;
    left->addWidget(listLabel);
    left->addWidget(m_list, 1);
    auto *row = new QHBoxLayout;
    row->addLayout(left, 1);
    row->addLayout(right, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row, 1);
    layout->addWidget(m_switchNow);
    layout->addWidget(m_note);
    layout->addWidget(m_buttons);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        resize(fittedSize(QSize(560, 360), screen->availableGeometry().size()));

    // The current default, else the first that loads.
    QListWidgetItem *current = nullptr;
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem *item = m_list->item(i);
        if (!item->data(LoadsRole).toBool())
            continue;
        if (!current || item->data(FolderRole).toString() == currentDefault)
            current = item;
        if (item->data(FolderRole).toString() == currentDefault)
            break;
    }
    if (current)
        m_list->setCurrentItem(current);
    m_list->setFocus();
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(current != nullptr);
}

QString CharacterChooser::chosen() const
{
    const QListWidgetItem *item = m_list->currentItem();
    return item && item->data(LoadsRole).toBool() ? item->data(FolderRole).toString() : QString();
}

bool CharacterChooser::switchNow() const
{
    return m_switchNow->isChecked();
}

void CharacterChooser::setSwitchNow(bool on)
{
    m_switchNow->setChecked(on);
    updateNote();
}

void CharacterChooser::updateNote()
{
    m_note->setText(tr(m_switchNow->isChecked() ? SwitchNowNote : NextStartNote));
}

void CharacterChooser::selectionChanged()
{
    const QString folder = chosen();
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!folder.isEmpty());
    if (folder.isEmpty()) {
        m_preview->setCharacter(std::nullopt);
        static_cast<CutLabel *>(m_name)->setWholeText(QString());
        m_description->clear();
        return;
    }
    const QString path = availableCharacters(m_programDir).value(folder);
    std::optional<CharacterModel> model = CharacterModel::load(path);
    static_cast<CutLabel *>(m_name)->setWholeText(model ? model->name : folder);
    m_description->setText(model ? model->description : QString());
    m_preview->setCharacter(std::move(model));
}

} // namespace kestrova::character
