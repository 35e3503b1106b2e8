#include "FrmSearch.h"

#include "CharacterRef.h"
#include "Forms.h"
#include "Host.h"
#include "WebSearch.h"
#include "WindowKeys.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kestrova {

FrmSearch::FrmSearch(Host &host) : QWidget(nullptr), m_host(host)
{
    setObjectName(QStringLiteral("FrmSearch"));
    setWindowTitle(tr("Search"));

    LblTitle = new QLabel(tr("     Search the Web!"), this);
    LblTitle->setObjectName(QStringLiteral("LblTitle"));
    // The desktop's own face, larger.
    QFont heading = font();
    heading.setPointSizeF(heading.pointSizeF() * 1.4);
    heading.setBold(true);
    LblTitle->setFont(heading);
    LblCaption = new QLabel(tr("Enter your search &phrase and click the \"Search\" button."), this);
    LblCaption->setObjectName(QStringLiteral("LblCaption"));
    TxtQuery = new QLineEdit(this);
    TxtQuery->setObjectName(QStringLiteral("TxtQuery"));
    LblCaption->setBuddy(TxtQuery);
    Label1 = new QLabel(tr("Chose a search engine for this search."), this);
    Label1->setObjectName(QStringLiteral("Label1"));

    static const char *const captions[8] = {"&Alta Vista", "E&xcite", "&HotBot", "&InfoSeek",
                                            "&Lycos", "&Yahoo", "&SoftSeek", "Au&dioFind"};
    auto *engines = new QGridLayout;
    auto *group = new QButtonGroup(this);
    for (int k = 0; k < 8; ++k) {
        OptEngine[k] = new QRadioButton(QString::fromLatin1(captions[k]), this);
        OptEngine[k]->setObjectName(QStringLiteral("OptEngine%1").arg(k));
        group->addButton(OptEngine[k], k);
        // Three columns: the first three, the next three, the last two.
        engines->addWidget(OptEngine[k], k % 3, k / 3);
        connect(OptEngine[k], &QRadioButton::toggled, this, [this, k](bool on) {
            if (on)
                OptEngine_Click(k);
        });
    }
    TxtEngine = new QLineEdit(this);
    TxtEngine->setObjectName(QStringLiteral("TxtEngine"));
    TxtEngine->hide();

    CmdSearch[0] = new QPushButton(tr("Search"), this);
    CmdSearch[1] = new QPushButton(tr("Cancel"), this);
    for (int k = 0; k < 2; ++k) {
        CmdSearch[k]->setObjectName(QStringLiteral("CmdSearch%1").arg(k));
        connect(CmdSearch[k], &QPushButton::clicked, this, [this, k] { CmdSearch_Click(k); });
    }
    CmdSearch[0]->setDefault(true);
    // Enter presses "Search" (from the phrase box too), Escape "Cancel".
    WindowKeys::install(this, [this] { CmdSearch[1]->click(); });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CmdSearch[0]);
    buttons->addWidget(CmdSearch[1]);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(LblTitle);
    layout->addWidget(LblCaption);
    layout->addWidget(TxtQuery);
    layout->addWidget(Label1);
    layout->addLayout(engines);
    layout->addLayout(buttons);
    resize(400, sizeHint().height());
}

void FrmSearch::Form_Load()
{
    OptEngine[0]->setChecked(true);
    // Already chosen (a window made again): its click still sets the field.
    OptEngine_Click(0);
}

void FrmSearch::OptEngine_Click(int)
{
    for (int k = 0; k < 8; ++k) {
        if (OptEngine[k]->isChecked()) {
            TxtEngine->setText(QString::number(2 * k + 1));
            return;
        }
    }
}

void FrmSearch::CmdSearch_Click(int index)
{
    if (index == 0) {
        m_host.agent().Play(QStringLiteral("Search"));
        WebSearch::SearchWeb(m_host, TxtQuery->text(), TxtEngine->text().toInt());
    }
    close();
}

void FrmSearch::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_host.forms().unload(this);
}

} // namespace kestrova
