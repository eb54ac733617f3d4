// SPDX-License-Identifier: MIT
#include "app/lazy_settings_view.h"
#include "app/settings_dialog.h"
#include "platform/fake/fake_platform.h"
#include "text_files.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <sstream>

using namespace chimex;

namespace {

std::string settingsText(const char* x, const char* y, const char* z, const char* xy,
                         const char* zs, int pause) {
    std::ostringstream out;
    out << "MaxX = " << x << "\r\nMaxY = " << y << "\r\nMaxZ = " << z << "\r\nMAxXYSpeed = " << xy
        << "\r\nMAxZSpeed = " << zs << "\r\nADdPause = " << pause << "\r\n";
    return out.str();
}

} // namespace

class SettingsDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FakePlatform> platform_;
    std::unique_ptr<ProgramState> state_;
    std::unique_ptr<LazySettingsView> form_;

    std::filesystem::path iniPath() const { return platform_->folder / "Chimex.ini"; }
    FrmSettings& dialog() { return form_->dialog(); }
    QLineEdit* field(const char* name) { return dialog().findChild<QLineEdit*>(name); }

    /// Shows the dialog modally, as start-up does, and runs `act` on it while it is open.
    void showAnd(std::function<void(FrmSettings&)> act) {
        QTimer::singleShot(0, [this, act] {
            QVERIFY(QTest::qWaitForWindowActive(&dialog()));
            act(dialog());
            if (dialog().isVisible()) {
                dialog().close(); // a failed check must not leave the dialog open
            }
        });
        form_->showModal();
    }

  private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        platform_ = std::make_unique<FakePlatform>();
        platform_->folder = dir_->path().toStdString();
        platform_->useRealFiles = true;
        state_ = std::make_unique<ProgramState>();
        form_ = std::make_unique<LazySettingsView>(*state_, *platform_);
    }

    void cleanup() {
        form_.reset();
        state_.reset();
        platform_.reset();
        dir_.reset();
    }

    void loadsOnFirstTouchWithTheInitialValues() {
        QVERIFY(!form_->isLoaded());
        QCOMPARE(state_->PauseMode, 0);
        QCOMPARE(form_->fieldText(SettingsField::MaxX), std::string("96"));
        QVERIFY(form_->isLoaded());
        QCOMPARE(state_->PauseMode, -1);
        QCOMPARE(form_->fieldText(SettingsField::MaxY), std::string("48"));
        QCOMPARE(form_->fieldText(SettingsField::MaxZ), std::string("6"));
        QCOMPARE(form_->fieldText(SettingsField::MaxXYSpeed), std::string("3"));
        QCOMPARE(form_->fieldText(SettingsField::MaxZSpeed), std::string("2"));
        QCOMPARE(form_->pauseState(), 0);
        QCOMPARE(dialog().objectName(), QString("frmSettings"));
        QCOMPARE(dialog().windowTitle(), QString("Tool Settings"));
        QCOMPARE(dialog().size(), QSize(220, 290));
        QCOMPARE(field("txtMaxXYSpeed")->geometry(), QRect(8, 136, 41, 19));
        auto* button = dialog().findChild<QPushButton*>("cmdSaveSettings");
        QVERIFY(!button->isDefault() && !button->autoDefault());
        QVERIFY(
            dialog()
                .findChild<QCheckBox*>("chkPause")
                ->toolTip()
                .startsWith("If this is un-checked the notes will play continuously...if checked"));
    }

    void everyTextFitsItsControl() {
        for (QLabel* label : dialog().findChildren<QLabel*>()) {
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->objectName()));
        }
        QCheckBox* box = dialog().findChild<QCheckBox*>("chkPause");
        QVERIFY(box->sizeHint().width() <= box->width());
    }

    void tabOrderRunsThroughFieldsButtonAndBox() {
        const QStringList expected = {"txtMaxX",       "txtMaxY",      "txtMaxZ",
                                      "txtMaxXYSpeed", "txtMaxZSpeed", "cmdSaveSettings",
                                      "chkPause",      "txtMaxX"};
        QStringList visited;
        showAnd([&visited](FrmSettings& d) {
            visited << QApplication::focusWidget()->objectName();
            for (int i = 0; i < 7; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                visited << QApplication::focusWidget()->objectName();
            }
            d.close();
        });
        QCOMPARE(visited, expected);
    }

    void focusSelectsTheWholeText() {
        showAnd([this](FrmSettings& d) {
            QCOMPARE(field("txtMaxX")->selectedText(), QString("96"));
            QTest::keyClick(field("txtMaxX"), Qt::Key_Tab);
            QCOMPARE(field("txtMaxY")->selectedText(), QString("48"));
            QTest::keyClicks(field("txtMaxY"), "50");
            QCOMPARE(field("txtMaxY")->text(), QString("50"));
            d.close();
        });
        QCOMPARE(state_->MaxY, 50.0f);
    }

    void closingCommitsAndSaves_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("button") << "button";
        QTest::newRow("close box") << "close box";
        QTest::newRow("Enter on the focused button") << "Enter";
    }
    void closingCommitsAndSaves() {
        QFETCH(QString, how);
        state_->HighX = 5;
        state_->CurX = 7;
        showAnd([this, how](FrmSettings& d) {
            if (how == "button") {
                QTest::mouseClick(d.findChild<QPushButton*>("cmdSaveSettings"), Qt::LeftButton);
            } else if (how == "close box") {
                QCloseEvent close;
                QApplication::sendEvent(d.windowHandle(), &close);
            } else {
                QTest::keyClick(field("txtMaxX"), Qt::Key_Escape);
                QTest::keyClick(&d, Qt::Key_Escape);
                QVERIFY(d.isVisible()); // Escape backs out of nothing and saves nothing
                QVERIFY(!std::filesystem::exists(iniPath()));
                auto* button = d.findChild<QPushButton*>("cmdSaveSettings");
                button->setFocus();
                QTest::keyClick(button, Qt::Key_Return);
            }
            QVERIFY(!d.isVisible());
        });
        QCOMPARE(state_->MaxX, 96.0f);
        QCOMPARE(state_->MaxZSpeed, 2.0f);
        QCOMPARE(state_->BaseSpeed, static_cast<float>(3 / 8.2));
        QCOMPARE(state_->HighX, 0.0f);
        QCOMPARE(state_->CurX, 7.0f);
        QCOMPARE(state_->PauseMode, -1);
        QCOMPARE(test::readFile(iniPath()), settingsText("96", "48", "6", "3", "2", 0));
    }

    void pauseBoxStates_data() {
        QTest::addColumn<int>("fromFile");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<int>("saved");
        QTest::addColumn<int>("pauseMode");
        QTest::newRow("unchecked") << 0 << 0 << 0 << -1;
        QTest::newRow("checked by a click") << 0 << 1 << 1 << 1;
        QTest::newRow("two clicks uncheck") << 0 << 2 << 0 << -1;
        QTest::newRow("greyed kept") << 2 << 0 << 2 << -1;
        QTest::newRow("greyed then clicked") << 2 << 1 << 1 << 1;
        QTest::newRow("greyed never comes back") << 2 << 2 << 0 << -1;
        QTest::newRow("checked from the file") << 1 << 0 << 1 << 1;
    }
    void pauseBoxStates() {
        QFETCH(int, fromFile);
        QFETCH(int, clicks);
        QFETCH(int, saved);
        QFETCH(int, pauseMode);
        form_->setPauseState(fromFile);
        showAnd([clicks](FrmSettings& d) {
            for (int i = 0; i < clicks; ++i) {
                QTest::mouseClick(d.pauseBox(), Qt::LeftButton, {}, QPoint(6, 12));
            }
            d.close();
        });
        QCOMPARE(state_->PauseMode, pauseMode);
        QCOMPARE(test::readFile(iniPath()), settingsText("96", "48", "6", "3", "2", saved));
    }

    void typedTextsCommitTheirLeadingNumber_data() {
        QTest::addColumn<QString>("maxX");
        QTest::addColumn<QString>("xySpeed");
        QTest::addColumn<float>("committedX");
        QTest::addColumn<float>("baseSpeed");
        QTest::newRow("empty field") << ""
                                     << "3" << 0.0f << static_cast<float>(3 / 8.2);
        QTest::newRow("decimal comma") << "12,5"
                                       << "4.1" << 12.0f << static_cast<float>(4.1f / 8.2);
        QTest::newRow("negative limit") << "-5"
                                        << "3" << -5.0f << static_cast<float>(3 / 8.2);
        // Refused: each keeps what the dialog opened with.
        QTest::newRow("too large, speed 0") << "1E39"
                                            << "0" << 96.0f << static_cast<float>(3 / 8.2);
    }
    void typedTextsCommitTheirLeadingNumber() {
        QFETCH(QString, maxX);
        QFETCH(QString, xySpeed);
        QFETCH(float, committedX);
        QFETCH(float, baseSpeed);
        showAnd([&](FrmSettings& d) {
            field("txtMaxX")->setText(maxX);
            field("txtMaxXYSpeed")->setText(xySpeed);
            d.close();
        });
        QCOMPARE(state_->MaxX, committedX);
        QCOMPARE(state_->BaseSpeed, baseSpeed);
    }

    void theDialogCommitsOnce() {
        showAnd([](FrmSettings& d) { d.close(); });
        std::filesystem::remove(iniPath());
        dialog().close();
        QVERIFY(!std::filesystem::exists(iniPath()));
    }
};

QTEST_MAIN(SettingsDialogTest)
#include "settings_dialog_test.moc"
