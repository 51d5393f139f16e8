// The Qt front of the window: what Qt itself decides (pixels, tab order,
// keys, fonts, accessible texts, input dropped while an estimation runs, the
// message boxes' titles and the dialogs' filters) and that the buttons reach
// the window logic. The behaviour behind the buttons is tested without any
// toolkit in tests/window/.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/qt/form1_window.h"
#include "app/qt/qt_seams.h"
#include "window/scripted_seams.h"

using kovarim::qt::Form1Window;
using kovarim::window::scripted::ScriptedBoxes;
using kovarim::window::scripted::ScriptedDialogs;

namespace {

const QByteArray kPoints = "A,0,0,0,10,20,30\r\n"
                           "B,100,0,0,110,20,30\r\n"
                           "C,0,100,0,10,120,30\r\n"
                           "D,100,100,10,109.99877,120.0042,40\r\n";

QByteArray ReadAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Common points enough for a search of some seconds: 3000 points, 4.5
// billion triples.
QByteArray ManyPoints() {
    QByteArray points;
    for (int i = 0; i < 3000; ++i) {
        const double x = 1000.0 + (i * 7919) % 5000, y = 2000.0 + (i * 104729) % 5003;
        points += QByteArray("P") + QByteArray::number(i) + "," + QByteArray::number(x) + "," +
                  QByteArray::number(y) + ",0," + QByteArray::number(x + 1) + "," +
                  QByteArray::number(y + 2) + ",3\r\n";
    }
    return points;
}

} // namespace

class Form1WindowTest : public QObject {
    Q_OBJECT

  private:
    ScriptedDialogs dialogs_;
    ScriptedBoxes boxes_;
    std::unique_ptr<Form1Window> form_;
    std::unique_ptr<QTemporaryDir> dir_;

    QString Path(const QString &name) const { return dir_->filePath(name); }

  private slots:
    void init() {
        dialogs_ = {};
        boxes_ = {};
        dir_ = std::make_unique<QTemporaryDir>();
        form_ = std::make_unique<Form1Window>(dialogs_, boxes_);
    }
    void cleanup() {
        form_.reset();
        dir_.reset();
    }

    void controls_stand_where_the_layout_puts_them_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        // Twips divided by 15, to the nearest pixel.
        QTest::newRow("Command1") << "Command1" << QRect(40, 160, 201, 49) << "计算公共点参数";
        QTest::newRow("Text1") << "Text1" << QRect(80, 112, 95, 25) << "";
        QTest::newRow("Text2") << "Text2" << QRect(200, 112, 95, 25) << "";
        QTest::newRow("Text3") << "Text3" << QRect(80, 72, 95, 25) << "2860321.78";
        QTest::newRow("Text4") << "Text4" << QRect(200, 72, 95, 25) << "592341.79";
        QTest::newRow("Text6") << "Text6" << QRect(320, 72, 71, 25) << "0";
        QTest::newRow("Text7") << "Text7" << QRect(320, 112, 71, 25) << "";
        QTest::newRow("Label1") << "Label1" << QRect(8, 80, 57, 25) << "原坐标系";
        QTest::newRow("Label2") << "Label2" << QRect(8, 120, 49, 17) << "新坐标系";
        QTest::newRow("Label3") << "Label3" << QRect(88, 48, 57, 17) << "X";
        QTest::newRow("Label4") << "Label4" << QRect(208, 48, 49, 25) << "Y";
        QTest::newRow("Label5") << "Label5" << QRect(344, 48, 49, 25) << "Z";
        QTest::newRow("Label6") << "Label6" << QRect(32, 224, 217, 25)
                                << "公共点号,x1,y1,z1,x2,y2,z2至少三个点";
        QTest::newRow("Label7") << "Label7" << QRect(120, 16, 225, 33) << "Kovarim";
        QTest::newRow("Command2") << "Command2" << QRect(328, 192, 89, 33) << "批量转换";
        QTest::newRow("Command3") << "Command3" << QRect(328, 144, 89, 33) << "单点转换";
        QTest::newRow("Label8") << "Label8" << QRect(328, 232, 105, 17) << "点号,x1,y1,z1";
        QTest::newRow("ProgressBar1") << "ProgressBar1" << QRect(8, 248, 417, 17) << "";
    }
    void controls_stand_where_the_layout_puts_them() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        auto *control = form_->findChild<QWidget *>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(), geometry);
        if (auto *button = qobject_cast<QPushButton *>(control))
            QCOMPARE(button->text(), text);
        if (auto *box = qobject_cast<QLineEdit *>(control))
            QCOMPARE(box->text(), text);
        if (auto *label = qobject_cast<QLabel *>(control))
            QCOMPARE(label->text(), text);
    }

    void window_starts_fresh() {
        QCOMPARE(form_->size(), QSize(432, 268));
        QCOMPARE(form_->minimumSize(), form_->maximumSize());
        QVERIFY(form_->Command1->isEnabled());
        QVERIFY(!form_->Command2->isEnabled());
        QVERIFY(!form_->Command3->isEnabled());
        QVERIFY(form_->ProgressBar1->isHidden());
        QCOMPARE(form_->ProgressBar1->minimum(), 0);
        QCOMPARE(form_->ProgressBar1->maximum(), 100);
        QCOMPARE(form_->ProgressBar1->value(), 0);
        for (QPushButton *b : {form_->Command1, form_->Command2, form_->Command3}) {
            QVERIFY(!b->isDefault());
            QVERIFY(!b->autoDefault());
        }
        QCOMPARE(form_->Label7->font().pointSize(), 15);
        QCOMPARE(form_->Label7->font().weight(), QFont::Normal);
        QCOMPARE(form_->params(), kovarim::Params{});
    }

    void tab_visits_buttons_and_boxes_in_order() {
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        QCOMPARE(QApplication::focusWidget(), form_->Command1);
        auto visit = [&](int presses) {
            QList<QWidget *> seen;
            for (int i = 0; i < presses; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                seen << QApplication::focusWidget();
            }
            return seen;
        };
        // Disabled conversion buttons are skipped before an estimation.
        QCOMPARE(visit(7), (QList<QWidget *>{form_->Text1, form_->Text2, form_->Text3, form_->Text4,
                                             form_->Text6, form_->Text7, form_->Command1}));
        form_->Command2->setEnabled(true);
        form_->Command3->setEnabled(true);
        QCOMPARE(visit(9), (QList<QWidget *>{form_->Text1, form_->Text2, form_->Text3, form_->Text4,
                                             form_->Text6, form_->Text7, form_->Command2,
                                             form_->Command3, form_->Command1}));
    }

    void focused_button_is_pressed_with_space_or_return_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Space") << int(Qt::Key_Space);
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Enter") << int(Qt::Key_Enter);
    }
    void focused_button_is_pressed_with_space_or_return() {
        QFETCH(int, key);
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        QTest::keyClick(form_->Command1, Qt::Key(key));
        QCOMPARE(dialogs_.calls.size(), size_t(1)); // the open dialog was asked for
        // Return in a text box presses nothing.
        QTest::keyClick(form_->Text3, Qt::Key_Return);
        QCOMPARE(dialogs_.calls.size(), size_t(1));
    }

    void every_control_has_an_accessible_name() {
        for (QWidget *w : form_->findChildren<QWidget *>()) {
            if (qobject_cast<QLineEdit *>(w) || qobject_cast<QPushButton *>(w)) {
                QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
                QVERIFY2(!w->accessibleDescription().isEmpty(), qPrintable(w->objectName()));
            }
        }
        QCOMPARE(form_->Text3->accessibleName(), QString("原坐标系 X"));
        QCOMPARE(form_->Text7->accessibleName(), QString("新坐标系 Z"));
    }

    // The buttons reach the window logic, and its results the widgets.
    void buttons_reach_the_logic_and_its_results_the_widgets() {
        WriteAll(Path("gps.txt"), kPoints);
        dialogs_.answers.push_back(Path("gps.txt").toStdString());
        QSignalSpy finished(form_.get(), &Form1Window::estimationFinished);
        form_->Command1->click();
        QVERIFY(finished.wait(60000));
        QVERIFY(form_->ProgressBar1->isHidden());
        QCOMPARE(form_->ProgressBar1->maximum(), 5); // four triples, plus one
        QCOMPARE(form_->ProgressBar1->value(), 4);
        QVERIFY(form_->Command2->isEnabled());
        QVERIFY(form_->Command3->isEnabled());
        QVERIFY(ReadAll(Path("gps七参数精度评估.txt"))
                    .endsWith("D                   0.00123       -0.0042         0 \r\n"));
        form_->Command3->click();
        QCOMPARE(form_->Text1->text(), QString("2860331.78"));
        QCOMPARE(form_->Text7->text(), QString("30"));
    }

    // While the search runs, the window paints but takes no input: a click or
    // a key is dropped, not kept for later. Esc stops the estimation, which
    // then changes nothing.
    void input_during_an_estimation_is_dropped_and_esc_stops_it() {
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        WriteAll(Path("many.txt"), ManyPoints());
        dialogs_.answers.push_back(Path("many.txt").toStdString());
        form_->Command1->click();
        QVERIFY(form_->Estimating());
        QTest::mouseClick(form_->Command1, Qt::LeftButton);
        QTest::keyClicks(form_->Text3, "99");
        QTest::keyClick(form_->Command1, Qt::Key_Space);
        QVERIFY(form_->Estimating());
        QTest::keyClick(form_->Command1, Qt::Key_Escape);
        QVERIFY(QTest::qWaitFor([&] { return !form_->Estimating(); }, 60000));
        QTest::qWait(50); // anything kept for later would come now
        QCOMPARE(dialogs_.calls.size(), size_t(1));
        QCOMPARE(form_->Text3->text(), QString("2860321.78"));
        QVERIFY(boxes_.shown.empty());
        QVERIFY(!form_->Command2->isEnabled());
        QVERIFY(form_->ProgressBar1->isHidden());
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{"many.txt"});
    }

    void closing_during_an_estimation_stops_it_and_leaves_nothing() {
        WriteAll(Path("gps.txt"), ManyPoints());
        dialogs_.answers.push_back(Path("gps.txt").toStdString());
        form_->show();
        form_->Command1->click();
        QVERIFY(form_->Estimating());
        QVERIFY(form_->close());
        QVERIFY(!form_->Estimating());
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{"gps.txt"});
    }

    void message_boxes_bear_the_title_or_their_caption_and_ok_first_data() {
        QTest::addColumn<bool>("withCancel");
        QTest::addColumn<QString>("title");
        QTest::newRow("OK") << false << "Kovarim1.0";
        QTest::newRow("OK and Cancel") << true << "另存为";
    }
    void message_boxes_bear_the_title_or_their_caption_and_ok_first() {
        QFETCH(bool, withCancel);
        QFETCH(QString, title);
        QString shownTitle;
        bool okIsDefault = false;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            QVERIFY(box);
            shownTitle = box->windowTitle();
            okIsDefault = box->defaultButton() == box->button(QMessageBox::Ok);
            box->button(QMessageBox::Ok)->click();
        });
        kovarim::qt::QtMessageBoxes boxes;
        if (withCancel)
            QVERIFY(boxes.OkCancel("文件已经存在,要替换它吗?", "另存为"));
        else
            boxes.Ok("text");
        QCOMPARE(shownTitle, title);
        QVERIFY(okIsDefault);
    }

    void filters_take_qt_form() {
        QCOMPARE(kovarim::qt::QtFilter("Text files|*.txt"), QString("Text files (*.txt)"));
        QCOMPARE(kovarim::qt::QtFilter("明码文件(*.txt)|*.txt"), QString("明码文件(*.txt)"));
        QCOMPARE(kovarim::qt::QtFilter("A|*.a;*.b|B|*.c"), QString("A (*.a *.b);;B (*.c)"));
    }
};

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A real modal dialog would wait for a user that never comes: fail instead.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { qFatal("window tests hung"); });
    watchdog.start(60000);
    Form1WindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "form1_window_test.moc"
