#include "help/productinfo.h"

#include "core/makerhost.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <dlfcn.h>

#ifndef VELMORA_VERSION
#define VELMORA_VERSION "0"
#endif
#ifndef VELMORA_LICENSE
#define VELMORA_LICENSE ""
#endif

namespace {

// The HTTP library is loaded with the engine library; the program never links it, so its
// version is asked of the loaded copy by name. Its text starts "libcurl/7.88.1 OpenSSL/…".
QString curlVersion()
{
    using VersionFn = const char *(*)();
    const auto fn = reinterpret_cast<VersionFn>(dlsym(RTLD_DEFAULT, "curl_version"));
    const QString text = fn ? QString::fromLatin1(fn()) : QString();
    const QString first = text.section(QLatin1Char(' '), 0, 0);
    if (!first.startsWith(QLatin1String("libcurl/")))
        return QStringLiteral("libcurl");
    return QStringLiteral("libcurl ") + first.mid(8);
}

QLabel *line(QWidget *parent, const char *name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setTextFormat(Qt::PlainText);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

} // namespace

QString LibraryVersions()
{
    return QStringLiteral("Qt ") + QLatin1String(qVersion()) + QStringLiteral("、") + curlVersion();
}

ProductInfo::ProductInfo(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ProductInfo"));
    setWindowTitle(QStringLiteral("製品情報"));

    LBName = line(this, "LBName", QStringLiteral("Velmora"));
    QFont big = LBName->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    LBName->setFont(big);
    LBVersion =
        line(this, "LBVersion", QStringLiteral("バージョン ") + QLatin1String(VELMORA_VERSION));
    LBLibraries =
        line(this, "LBLibraries", QStringLiteral("使用ライブラリ： ") + LibraryVersions());
    const QString license = QString::fromUtf8(VELMORA_LICENSE);
    LBLicense = line(this, "LBLicense", QStringLiteral("ライセンス： ") + license);
    LBLicense->setVisible(!license.isEmpty());
    // The maker's web address only where one is configured: never an address that can't answer.
    LBMaker = line(this, "LBMaker", QStringLiteral("開発元： Halvane  ") + MakerUrl("/"));
    if (MakerHost().isEmpty())
        LBMaker->setToolTip(MakerUnavailableReason());
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->addWidget(LBName);
    layout->addWidget(LBVersion);
    layout->addSpacing(8);
    layout->addWidget(LBLibraries);
    layout->addWidget(LBLicense);
    layout->addWidget(LBMaker);
    layout->addSpacing(8);
    layout->addWidget(cmdOK, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void ShowProductInfo(QPointer<ProductInfo> &window, QWidget *owner)
{
    if (!window) {
        window = new ProductInfo(owner);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
}
