#include "AboutDialog.h"

#include "Dialogs.h"
#include "Error.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

QPointer<TAboutForm> AboutForm;

const char *const TAboutForm::SiteAddress = "https://pagelume.example.org/";
const char *const TAboutForm::LicenseAddress = "https://pagelume.example.org/license.html";
const char *const TAboutForm::ContactAddress = "https://pagelume.example.org/contact.html";

TAboutForm::TAboutForm(QWidget *parent) : QDialog(parent) {
  setObjectName("AboutForm");
  setWindowTitle("About");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  QFont font("Arial");
  font.setPixelSize(12);
  setFont(font);
  setFixedSize(425, 270);

  MainPanel = new QFrame(this);
  MainPanel->setObjectName("MainPanel");
  MainPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  MainPanel->setGeometry(5, 5, 415, 220);

  auto makeLabel = [this](const char *name, const QRect &rect) {
    auto *label = new QLabel(MainPanel);
    label->setObjectName(name);
    label->setGeometry(rect);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
  };
  DescriptionLabel = makeLabel("DescriptionLabel", QRect(10, 5, 360, 65));
  QFont nameFont("Comic Sans MS");
  nameFont.setPixelSize(48);
  nameFont.setBold(true);
  nameFont.setItalic(true);
  DescriptionLabel->setFont(nameFont);
  VersionLabel = makeLabel("VersionLabel", QRect(10, 75, 395, 15));
  AuthorLabel = makeLabel("AuthorLabel", QRect(10, 100, 395, 15));
  AuthorLabel->setText("Written by the Pagelume developers.");
  OtherWorkLabel = makeLabel("OtherWorkLabel", QRect(10, 120, 395, 50));
  OtherWorkLabel->setText("Pagelume is free to use. Visit the site for news, other reading tools and the "
                          "latest version of the program.");

  auto makeButton = [this](QWidget *parent, const char *name, const QString &caption, const QRect &rect) {
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(rect);
    button->setAutoDefault(false);
    return button;
  };
  VisitSiteButton = makeButton(MainPanel, "VisitSiteButton", "Visit my site", QRect(55, 180, 100, 25));
  LicenseButton = makeButton(MainPanel, "LicenseButton", "License terms", QRect(160, 180, 100, 25));
  ContactButton = makeButton(MainPanel, "ContactButton", "Contact me", QRect(265, 180, 100, 25));
  OkayButton = makeButton(this, "OkayButton", "&Okay", QRect(175, 235, 75, 25));
  OkayButton->setDefault(true);

  connect(VisitSiteButton, &QPushButton::clicked, this, &TAboutForm::VisitSiteButtonClick);
  connect(LicenseButton, &QPushButton::clicked, this, &TAboutForm::LicenseButtonClick);
  connect(ContactButton, &QPushButton::clicked, this, &TAboutForm::ContactButtonClick);
  connect(OkayButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutForm::reject() { accept(); }

void TAboutForm::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  OkayButton->setFocus();
}

void TAboutForm::changeEvent(QEvent *event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow())
    OkayButton->setFocus();
}

void TAboutForm::Dialog() {
  OP_BEGIN("TAboutForm::Dialog");
  OP_TRY { ExecDialog(*this); }
  OP_CATCH;
  OP_SHOW("Failed to show the \"About\" dialog.");
}

void TAboutForm::OpenSiteButton(const char *operation, const char *address) {
  OP_BEGIN(operation);
  OP_TRY {
    if (!QDesktopServices::openUrl(QUrl(QString::fromLatin1(address))))
      OP_RAISE("Failed to open link.", address);
  }
  OP_CATCH;
  OP_SHOW("Failed to open site.");
}

void TAboutForm::VisitSiteButtonClick() { OpenSiteButton("TAboutForm::VisitSiteButtonClick", SiteAddress); }
void TAboutForm::LicenseButtonClick() { OpenSiteButton("TAboutForm::LicenseButtonClick", LicenseAddress); }
void TAboutForm::ContactButtonClick() { OpenSiteButton("TAboutForm::ContactButtonClick", ContactAddress); }
