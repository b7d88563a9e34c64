// The duration entry of the trim controls and the position slider, offscreen.
#include <QtTest>

#include <QLineEdit>
#include <QStyleOptionSlider>

#include "controls/CSliderCtrlEx.h"
#include "toolkit/DurationEdit.h"

class TestPreviewWidgets : public QObject
{
    Q_OBJECT

private slots:
    void durationRoundTrip_data();
    void durationRoundTrip();
    void durationTyped_data();
    void durationTyped();
    void durationRejectsBadText();
    void durationSteps_data();
    void durationSteps();

    void sliderFollowsFromConstruction();
    void sliderClickJumps_data();
    void sliderClickJumps();
    void sliderReportsRelease();
};

void TestPreviewWidgets::durationRoundTrip_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("shown");
    QTest::newRow("zero") << 0 << QStringLiteral("00:00:00");
    QTest::newRow("59 s") << 59 << QStringLiteral("00:00:59");
    QTest::newRow("1 h 2 min 5 s") << 3725 << QStringLiteral("01:02:05");
    QTest::newRow("last second of a day") << 86399 << QStringLiteral("23:59:59");
    QTest::newRow("a day") << 86400 << QStringLiteral("00:00:00");
    QTest::newRow("100 h") << 360000 << QStringLiteral("04:00:00");
    QTest::newRow("100 h 1 min 1 s") << 360061 << QStringLiteral("04:01:01");
}

void TestPreviewWidgets::durationRoundTrip()
{
    QFETCH(int, seconds);
    QFETCH(QString, shown);
    DurationEdit edit;
    QSignalSpy changed(&edit, &DurationEdit::secondsChanged);
    edit.SetSeconds(seconds);
    QCOMPARE(edit.Seconds(), seconds);
    QCOMPARE(edit.text(), shown);
    QCOMPARE(changed.size(), seconds == 0 ? 0 : 1);
}

void TestPreviewWidgets::durationTyped_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("after");
    QTest::newRow("plain") << 0 << QStringLiteral("01:02:05") << 3725;
    QTest::newRow("single digits") << 0 << QStringLiteral("1:2:5") << 3725;
    QTest::newRow("hidden days kept") << 360000 << QStringLiteral("05:00:30") << 4 * 86400 + 5 * 3600 + 30;
    QTest::newRow("to zero") << 42 << QStringLiteral("00:00:00") << 0;
}

void TestPreviewWidgets::durationTyped()
{
    QFETCH(int, before);
    QFETCH(QString, typed);
    QFETCH(int, after);
    DurationEdit edit;
    edit.SetSeconds(before);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QLineEdit *line = edit.findChild<QLineEdit *>();
    QVERIFY(line);
    line->selectAll();
    QTest::keyClick(line, Qt::Key_Delete);
    QTest::keyClicks(line, typed);
    // Read before editing finishes: Set Start reads the control as it stands.
    QCOMPARE(edit.Seconds(), after);
    QTest::keyClick(&edit, Qt::Key_Return);
    QCOMPARE(edit.Seconds(), after);
    const int shown = after % 86400;
    QCOMPARE(edit.text(), QString::asprintf("%02d:%02d:%02d", shown / 3600, shown % 3600 / 60, shown % 60));
}

void TestPreviewWidgets::durationRejectsBadText()
{
    DurationEdit edit;
    edit.SetSeconds(3725);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QLineEdit *line = edit.findChild<QLineEdit *>();
    QVERIFY(line);
    line->selectAll();
    QTest::keyClick(line, Qt::Key_Delete);
    QTest::keyClicks(line, QStringLiteral("25:61:xx"));
    QVERIFY(!line->text().contains(u'x'));
    QVERIFY(!line->text().startsWith(QStringLiteral("25")));
    QCOMPARE(edit.Seconds(), 3725);
    // Finishing the edit puts back the value, which the half-typed text never changed.
    QTest::keyClick(&edit, Qt::Key_Return);
    QCOMPARE(edit.Seconds(), 3725);
    QCOMPARE(edit.text(), QStringLiteral("01:02:05"));

    // Leaving the field half-typed does the same.
    edit.setFocus();
    line->selectAll();
    QTest::keyClick(line, Qt::Key_Delete);
    QTest::keyClicks(line, QStringLiteral("7:"));
    QCOMPARE(line->text(), QStringLiteral("7:"));
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&edit, &out);
    QCOMPARE(edit.Seconds(), 3725);
    QCOMPARE(edit.text(), QStringLiteral("01:02:05"));
}

void TestPreviewWidgets::durationSteps_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("after");
    QTest::newRow("seconds up") << 59 << 8 << 1 << 60;
    QTest::newRow("minutes up") << 3725 << 4 << 1 << 3785;
    QTest::newRow("hours into the hidden day") << 23 * 3600 << 1 << 1 << 86400;
    QTest::newRow("hours down") << 3725 << 0 << -1 << 125;
    QTest::newRow("not below zero") << 30 << 1 << -1 << 0;
}

void TestPreviewWidgets::durationSteps()
{
    QFETCH(int, start);
    QFETCH(int, cursor);
    QFETCH(int, steps);
    QFETCH(int, after);
    DurationEdit edit;
    edit.SetSeconds(start);
    QLineEdit *line = edit.findChild<QLineEdit *>();
    QVERIFY(line);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    line->setCursorPosition(cursor);
    QTest::keyClick(&edit, steps > 0 ? Qt::Key_Up : Qt::Key_Down);
    QCOMPARE(edit.Seconds(), after);
    const int shown = after % 86400;
    QCOMPARE(edit.text(), QString::asprintf("%02d:%02d:%02d", shown / 3600, shown % 3600 / 60, shown % 60));
}

void TestPreviewWidgets::sliderFollowsFromConstruction()
{
    CSliderCtrlEx slider;
    QVERIFY(slider.SliderFollows());
    QCOMPARE(slider.orientation(), Qt::Horizontal);
}

void TestPreviewWidgets::sliderClickJumps_data()
{
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::addColumn<double>("share"); // of the channel width, from its left edge
    QTest::addColumn<bool>("jumps");
    QTest::addColumn<bool>("underClick"); // the thumb ends up under the pointer
    QTest::newRow("far right of the thumb") << 0 << 100 << 0 << 0.30 << true << true;
    QTest::newRow("far left of the thumb") << 0 << 100 << 80 << 0.25 << true << true;
    QTest::newRow("next to the thumb") << 0 << 100 << 50 << 0.505 << false << true;
    QTest::newRow("long range") << 0 << 3600 << 0 << 0.75 << true << true;
    // The target does not add the minimum, so the thumb lands left of the pointer
    // and the usual handling pages on from there.
    QTest::newRow("range not from zero") << 100 << 300 << 300 << 0.80 << true << false;
}

void TestPreviewWidgets::sliderClickJumps()
{
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, value);
    QFETCH(double, share);
    QFETCH(bool, jumps);
    QFETCH(bool, underClick);

    CSliderCtrlEx slider;
    slider.setRange(minimum, maximum);
    slider.setValue(value);
    slider.resize(300, slider.sizeHint().height());
    slider.show();
    QVERIFY(QTest::qWaitForWindowExposed(&slider));

    QStyleOptionSlider option;
    option.initFrom(&slider);
    option.orientation = Qt::Horizontal;
    option.minimum = minimum;
    option.maximum = maximum;
    option.sliderPosition = value;
    option.sliderValue = value;
    const QRect groove = slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, &slider);
    QVERIFY(groove.width() > 100);
    const int x = groove.left() + int(share * groove.width());
    const int expected = int((x - groove.left()) / double(groove.width()) * (maximum - minimum));

    QSignalSpy released(&slider, &CSliderCtrlEx::released);
    QSignalSpy moved(&slider, &QSlider::valueChanged);
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(x, groove.center().y()));
    QVERIFY(!slider.SliderFollows());
    if (jumps) {
        QVERIFY(!moved.isEmpty());
        QCOMPARE(moved.first().first().toInt(), expected);
    } else {
        QVERIFY(moved.isEmpty());
    }
    if (underClick)
        QCOMPARE(slider.value(), jumps ? expected : value);
    QCOMPARE(released.size(), 0);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(x, groove.center().y()));
    QCOMPARE(released.size(), 1);
    // Only the window sets it again, once it has sought.
    QVERIFY(!slider.SliderFollows());
    if (underClick)
        QCOMPARE(slider.value(), jumps ? expected : value);
}

void TestPreviewWidgets::sliderReportsRelease()
{
    CSliderCtrlEx slider;
    slider.setRange(0, 100);
    slider.resize(300, slider.sizeHint().height());
    slider.show();
    QVERIFY(QTest::qWaitForWindowExposed(&slider));
    QSignalSpy released(&slider, &CSliderCtrlEx::released);
    const QRect groove = slider.ChannelRect();
    // A right click neither clears the flag nor reports a release.
    QTest::mouseClick(&slider, Qt::RightButton, {}, groove.center());
    QVERIFY(slider.SliderFollows());
    QCOMPARE(released.size(), 0);
    // A drag of the thumb reports one release at its end.
    slider.SetSliderFollows(true);
    const QPoint from(groove.left() + groove.width() / 10, groove.center().y());
    QTest::mousePress(&slider, Qt::LeftButton, {}, from);
    const int pressed = slider.value();
    QMouseEvent move(QEvent::MouseMove, QPointF(groove.left() + groove.width() * 0.6, from.y()),
                     slider.mapToGlobal(QPointF(groove.left() + groove.width() * 0.6, from.y())),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&slider, &move);
    QVERIFY(slider.value() > pressed + 30);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(groove.left() + groove.width() * 6 / 10, from.y()));
    QCOMPARE(released.size(), 1);
    QVERIFY(!slider.SliderFollows());
}

QTEST_MAIN(TestPreviewWidgets)
#include "test_previewwidgets.moc"
