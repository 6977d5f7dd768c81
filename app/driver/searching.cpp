#include "driver/searching.h"

#include "core/runtexts.h"
#include "core/session.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTreeWidget>
#include <QVBoxLayout>

Searching::Searching(Session &session, std::function<void()> refresh, QWidget *parent)
    : ProgressForm(QStringLiteral("Searching"), QStringLiteral("検索中"), {3, 3, 3}, session.run,
                   parent),
      session_(session), refresh_(std::move(refresh))
{
    PGSearch = new QProgressBar(this);
    PGSearch->setObjectName(QStringLiteral("PGSearch"));
    PGSearch->setRange(0, 100);
    PGSearch->setValue(0);
    LBSearch = new QLabel(this);
    LBSearch->setObjectName(QStringLiteral("LBSearch"));
    LBSearch->setTextFormat(Qt::PlainText);
    TBSearch = new QLineEdit(this);
    TBSearch->setObjectName(QStringLiteral("TBSearch"));
    TBSearch->setReadOnly(true);
    body()->addWidget(PGSearch);
    body()->addWidget(LBSearch);
    body()->addWidget(TBSearch);
}

void Searching::Init_Form()
{
    Table->hide();
    Init_Table({QStringLiteral("サイト"), QStringLiteral("検索結果"), QStringLiteral("Status")});
    const RunController &run = session_.run;
    const RunSiteList &sites = session_.runSites;
    const SiteInfoList &info = session_.sites;
    for (int k = 0; k < sites.count; ++k) {
        const int32_t s = sites.sites[k];
        const QString name = (s >= 0 && s < info.count) ? info.sites[s].name : QString();
        Add_Table({name, SiteFoundRowText(run.RowHits(k)), QString()});
    }
    Table->show();
    Up_Progress(0);
    PGSearch->setFormat(QStringLiteral("%p%"));
    LBSearch->setText(TopicSitesText(sites.count));
    TBSearch->clear();
}

void Searching::Up_Progress(int percent)
{
    PGSearch->setValue(qBound(0, percent, PGSearch->maximum()));
}

void Searching::onActivated()
{
    refresh_();
}

bool Searching::running() const
{
    return session_.run.RunState == kRunSearch;
}

void Searching::onStop()
{
    LBSearch->setText(StoppingText());
    session_.run.Do_Stop();
}
