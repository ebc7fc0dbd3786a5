// The "About" dialog: the program's name and version, a line about its makers
// and three buttons that open pages of the makers' web site.
#pragma once

#include <QDialog>
#include <QPointer>

class QFrame;
class QLabel;
class QPushButton;

class TAboutForm : public QDialog {
  Q_OBJECT
public:
  explicit TAboutForm(QWidget *parent = nullptr);

  QFrame *MainPanel = nullptr;
  QLabel *DescriptionLabel = nullptr;  // program name
  QLabel *VersionLabel = nullptr;
  QLabel *AuthorLabel = nullptr;
  QLabel *OtherWorkLabel = nullptr;
  QPushButton *VisitSiteButton = nullptr;
  QPushButton *LicenseButton = nullptr;
  QPushButton *ContactButton = nullptr;
  QPushButton *OkayButton = nullptr;

  static const char *const SiteAddress;
  static const char *const LicenseAddress;
  static const char *const ContactAddress;

  // Shows the dialog modally under its own status context ("Failed to show
  // the \"About\" dialog." on failure).
  void Dialog();

  // Escape closes the dialog like "&Okay" does, with the OK result.
  void reject() override;

protected:
  void showEvent(QShowEvent *event) override;
  void changeEvent(QEvent *event) override;  // focus to "&Okay" on activation

private:
  void VisitSiteButtonClick();
  void LicenseButtonClick();
  void ContactButtonClick();
  void OpenSiteButton(const char *operation, const char *address);
};

extern QPointer<TAboutForm> AboutForm;
