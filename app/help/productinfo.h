// The product information window: the program's name and version, the libraries it runs on,
// its licence and the maker's address. Modeless; OK or Esc closes it.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

class QLabel;
class QPushButton;

// "Qt 6.4.2、libcurl 7.88.1": the versions of the libraries this process has loaded, not the
// ones it was built against. A library whose version can't be read is named without one.
QString LibraryVersions();

class ProductInfo : public QDialog {
    Q_OBJECT

public:
    explicit ProductInfo(QWidget *parent = nullptr);

    QLabel *LBName = nullptr;
    QLabel *LBVersion = nullptr;
    QLabel *LBLibraries = nullptr;
    QLabel *LBLicense = nullptr; // hidden when the build names no licence
    QLabel *LBMaker = nullptr;
    QPushButton *cmdOK = nullptr;
};

// Command 17: shows the window without blocking; a second call raises the one already open.
void ShowProductInfo(QPointer<ProductInfo> &window, QWidget *owner);
