#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/form1.h"
#include "scripted_seams.h"

using kovarim::app::Form1;
using kovarim::app::scripted::ScriptedBoxes;
using kovarim::app::scripted::ScriptedDialogs;

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

class Form1Test : public QObject {
    Q_OBJECT

  private:
    ScriptedDialogs dialogs_;
    ScriptedBoxes boxes_;
    std::unique_ptr<Form1> form_;
    std::unique_ptr<QTemporaryDir> dir_;

    QString Path(const QString &name) const { return dir_->filePath(name); }

    // Clicks 计算公共点参数 and waits until its command has ended: the
    // estimation runs beside the window.
    void ClickCommand1() {
        form_->Command1->click();
        QVERIFY(QTest::qWaitFor([&] { return !form_->Estimating(); }, 60000));
    }

    // A completed estimation on kPoints: parameters (10, 20, 30, 0, 0, 0, 0).
    void Estimate() {
        WriteAll(Path("gps.txt"), kPoints);
        dialogs_.answers.push_back(Path("gps.txt"));
        ClickCommand1();
    }

  private slots:
    void init() {
        dialogs_ = {};
        boxes_ = {};
        dir_ = std::make_unique<QTemporaryDir>();
        form_ = std::make_unique<Form1>(dialogs_, boxes_);
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

    void cancelled_estimation_leaves_everything_but_the_bar() {
        form_->Text3->setText("123");
        ClickCommand1();
        QCOMPARE(dialogs_.calls.size(), size_t(1));
        QCOMPARE(dialogs_.calls[0].kind, QString("open"));
        QCOMPARE(dialogs_.calls[0].filter, QString("Text files (*.txt)"));
        QVERIFY(!form_->ProgressBar1->isHidden());
        QCOMPARE(form_->ProgressBar1->minimum(), 1);
        QVERIFY(!form_->Command2->isEnabled());
        QCOMPARE(form_->Text3->text(), QString("123"));
        QVERIFY(boxes_.shown.empty());
    }

    void estimation_writes_the_report_and_enables_the_conversions() {
        Estimate();
        QVERIFY(boxes_.shown.empty());
        QVERIFY(form_->ProgressBar1->isHidden());
        QCOMPARE(form_->ProgressBar1->maximum(), 5); // four triples, plus one
        QCOMPARE(form_->ProgressBar1->value(), 4);
        QVERIFY(form_->Command2->isEnabled());
        QVERIFY(form_->Command3->isEnabled());
        QCOMPARE(form_->params(), kovarim::MakeParams(10, 20, 30, 0, 0, 0, 0));
        const QByteArray report = ReadAll(Path("gps七参数精度评估.txt"));
        QVERIFY(report.endsWith("D                   0.00123       -0.0042         0 \r\n"));
    }

    void cancelled_estimation_after_a_completed_one_keeps_it() {
        Estimate();
        ClickCommand1(); // cancelled
        QVERIFY(form_->Command2->isEnabled());
        QCOMPARE(form_->params(), kovarim::MakeParams(10, 20, 30, 0, 0, 0, 0));
    }

    void malformed_file_gives_a_message_naming_file_and_line() {
        WriteAll(Path("bad.txt"), "A,0,0,0,10,20,30\r\nB,100,0,zero,110,20,30\r\n");
        dialogs_.answers.push_back(Path("bad.txt"));
        ClickCommand1();
        QCOMPARE(boxes_.shown.size(), size_t(1));
        QCOMPARE(boxes_.shown[0].title, QString("Kovarim1.0"));
        QVERIFY(boxes_.shown[0].text.contains("bad.txt"));
        QVERIFY(boxes_.shown[0].text.contains("第 2 行"));
        QVERIFY(boxes_.shown[0].text.contains("z1"));
        QVERIFY(!form_->Command2->isEnabled());
        QVERIFY(form_->ProgressBar1->isHidden());
        QVERIFY(!QFile::exists(Path("bad七参数精度评估.txt")));
    }

    void two_points_give_the_message_once_and_no_report() {
        WriteAll(Path("two.txt"), "A,0,0,0,1,1,1\r\nB,5,5,5,6,6,6\r\n");
        dialogs_.answers.push_back(Path("two.txt"));
        bool barShown = true;
        boxes_.onShow = [&] { barShown = form_->ProgressBar1->isVisible(); };
        ClickCommand1();
        QVERIFY(!barShown); // the search is over before the message comes
        QCOMPARE(boxes_.shown.size(), size_t(1));
        QCOMPARE(boxes_.shown[0].text,
                 QString("需要至少三个以上的公共点才能进行七参数计算\n文件中只有 2 个公共点"));
        QCOMPARE(boxes_.shown[0].title, QString("Kovarim1.0"));
        QVERIFY(!boxes_.shown[0].withCancel);
        QVERIFY(!QFile::exists(Path("two七参数精度评估.txt")));
        QVERIFY(!form_->Command3->isEnabled());
        QVERIFY(form_->ProgressBar1->isHidden());
    }

    // All or nothing: a failed estimation keeps the last one's report,
    // parameters and buttons, and says why.
    void failed_estimation_keeps_the_last_one_data() {
        QTest::addColumn<QByteArray>("content"); // empty: the file is deleted
        QTest::addColumn<QString>("says");
        QTest::newRow("no usable triple") << QByteArray("A,0,0,0,1,1,1\r\nB,5,5,5,6,6,6\r\n")
                                          << "需要至少三个以上的公共点才能进行七参数计算";
        QTest::newRow("malformed line") << QByteArray("A,0,0,0,1,1,1\r\nB,5,5\r\n") << "第 2 行";
        QTest::newRow("deleted after the dialog") << QByteArray() << "无法打开";
        QTest::newRow("GBK and UTF-8 names")
            << QByteArray("A,0,0,0,10,20,30\r\n\xB5\xE3,100,0,0,110,20,30\r\n"
                          "王家庄,0,100,0,10,120,30\r\n")
            << "第 3 行：无法确定文件的编码（GBK 还是 UTF-8）";
        QTest::newRow("UTF-16") << QByteArray("\xFF\xFE"
                                              "A\0",
                                              4)
                                << "UTF-16";
    }
    void failed_estimation_keeps_the_last_one() {
        QFETCH(QByteArray, content);
        QFETCH(QString, says);
        Estimate();
        const QByteArray report = ReadAll(Path("gps七参数精度评估.txt"));
        if (content.isEmpty())
            QFile::remove(Path("gps.txt"));
        else
            WriteAll(Path("gps.txt"), content);
        dialogs_.answers.push_back(Path("gps.txt"));
        ClickCommand1();
        QCOMPARE(boxes_.shown.size(), size_t(1));
        QVERIFY2(boxes_.shown[0].text.contains(says), qPrintable(boxes_.shown[0].text));
        QCOMPARE(ReadAll(Path("gps七参数精度评估.txt")), report);
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files).size(), content.isEmpty() ? 1 : 2);
        QCOMPARE(form_->params(), kovarim::MakeParams(10, 20, 30, 0, 0, 0, 0));
        QVERIFY(form_->Command2->isEnabled());
        QVERIFY(form_->Command3->isEnabled());
        QVERIFY(form_->ProgressBar1->isHidden());
    }

    // While the search runs, the window paints but takes no input: a click or
    // a key is dropped, not kept for later. Esc stops the estimation, which
    // then changes nothing.
    void input_during_an_estimation_is_dropped_and_esc_stops_it() {
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        WriteAll(Path("many.txt"), ManyPoints());
        dialogs_.answers.push_back(Path("many.txt"));
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
        QCOMPARE(form_->params(), kovarim::Params{});
        QVERIFY(!form_->Command2->isEnabled());
        QVERIFY(form_->ProgressBar1->isHidden());
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{"many.txt"});
    }

    void closing_during_an_estimation_stops_it_and_leaves_nothing() {
        Estimate();
        const QByteArray report = ReadAll(Path("gps七参数精度评估.txt"));
        WriteAll(Path("gps.txt"), ManyPoints());
        dialogs_.answers.push_back(Path("gps.txt"));
        form_->show();
        form_->Command1->click();
        QVERIFY(form_->Estimating());
        QVERIFY(form_->close());
        QVERIFY(!form_->Estimating());
        QCOMPARE(ReadAll(Path("gps七参数精度评估.txt")), report);
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files).size(), 2);
        QCOMPARE(form_->params(), kovarim::MakeParams(10, 20, 30, 0, 0, 0, 0));
    }

    void single_point_conversion_writes_the_output_boxes() {
        Estimate();
        form_->Text1->setText("typed by the user");
        form_->Command3->click();
        QCOMPARE(form_->Text1->text(), QString("2860331.78"));
        QCOMPARE(form_->Text2->text(), QString("592361.79"));
        QCOMPARE(form_->Text7->text(), QString("30"));
        QCOMPARE(form_->Text3->text(), QString("2860321.78"));
        form_->Command3->click();
        QCOMPARE(form_->Text1->text(), QString("2860331.78"));
    }

    void single_point_overflow_is_reported() {
        Estimate();
        form_->Text4->setText("1e999");
        form_->Command3->click();
        QCOMPARE(boxes_.shown.size(), size_t(1));
        QVERIFY(boxes_.shown[0].text.contains("超出"));
        QCOMPARE(form_->Text1->text(), QString());
    }

    void batch_conversion_writes_under_the_proposed_name_when_save_is_cancelled() {
        Estimate();
        WriteAll(Path("pts.txt"), "P1,1,2,3\r\n");
        dialogs_.calls.clear();
        dialogs_.answers = {Path("pts.txt"), std::nullopt};
        form_->Command2->click();
        QCOMPARE(dialogs_.calls.size(), size_t(2));
        QCOMPARE(dialogs_.calls[1].kind, QString("save"));
        QCOMPARE(dialogs_.calls[1].filter, QString("明码文件(*.txt)"));
        QCOMPARE(dialogs_.calls[1].proposed, Path("ptsto"));
        QCOMPARE(ReadAll(Path("ptsto")), QByteArray("\"P1\",1,2,3,11,22,33\r\n"));
        QVERIFY(boxes_.shown.empty());
    }

    void batch_conversion_asks_before_replacing_and_cancel_keeps_the_file() {
        Estimate();
        WriteAll(Path("pts.txt"), "P1,1,2,3\r\n");
        WriteAll(Path("out.txt"), "old");
        dialogs_.answers = {Path("pts.txt"), Path("out.txt")};
        boxes_.answers = {false};
        form_->Command2->click();
        QCOMPARE(boxes_.shown.size(), size_t(1));
        QCOMPARE(boxes_.shown[0].text, QString("文件已经存在,要替换它吗?"));
        QCOMPARE(boxes_.shown[0].title, QString("另存为"));
        QVERIFY(boxes_.shown[0].withCancel);
        QCOMPARE(ReadAll(Path("out.txt")), QByteArray("old"));
    }

    void cancelled_batch_open_dialog_does_nothing() {
        Estimate();
        dialogs_.calls.clear();
        form_->Command2->click();
        QCOMPARE(dialogs_.calls.size(), size_t(1));
        QVERIFY(boxes_.shown.empty());
    }

    void files_that_vanished_after_the_dialog_are_reported() {
        dialogs_.answers.push_back(Path("gone.txt"));
        ClickCommand1();
        Estimate();
        dialogs_.answers = {Path("gone.txt"), std::nullopt};
        form_->Command2->click();
        QCOMPARE(boxes_.shown.size(), size_t(2));
        for (const auto &shown : boxes_.shown) {
            QVERIFY(shown.text.contains("gone.txt"));
            QVERIFY(shown.text.contains("无法打开"));
        }
    }

    void batch_error_names_the_record() {
        Estimate();
        WriteAll(Path("pts.txt"), "P1,1,2,3\r\nP2,x,2,3\r\n");
        dialogs_.answers = {Path("pts.txt"), std::nullopt};
        form_->Command2->click();
        QCOMPARE(boxes_.shown.size(), size_t(1));
        QVERIFY(boxes_.shown[0].text.contains("第 2 条记录"));
        QVERIFY(boxes_.shown[0].text.contains("pts.txt"));
        QCOMPARE(ReadAll(Path("ptsto")), QByteArray("\"P1\",1,2,3,11,22,33\r\n"));
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
    Form1Test test;
    return QTest::qExec(&test, argc, argv);
}

#include "form1_test.moc"
