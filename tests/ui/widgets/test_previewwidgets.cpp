// The duration entry of the trim controls and the position slider, offscreen.
#include <QtTest>

#include <QLineEdit>
#include <QStyleOptionSlider>

#include "ui/widgets/CSliderCtrlEx.h"
#include "ui/widgets/DurationEdit.h"

namespace {
// The value before, the keys ("up@N"/"down@N": a step with the cursor at N, else typed over the text),
// the text before editing finishes, the value after and the text shown then.
struct Typing { int before; QString keys, typing; int after; QString shown; };
// The slider's range and value, the button, where it clicks (a share of the channel's width
// from its left edge) and whether the thumb jumps there.
struct Click { int maximum, value; Qt::MouseButton button; double share; bool jumps; };
} // namespace

class TestPreviewWidgets : public QObject
{
    Q_OBJECT

private slots:
    void duration_data()
    {
        QTest::addColumn<Typing>("typing");
        auto row = [](const char *tag, const Typing &t) { QTest::newRow(tag) << t; };
        row("zero", {0, "", "00:00:00", 0, "00:00:00"});
        row("a day", {86400, "", "00:00:00", 86400, "00:00:00"});
        row("100 h", {360000, "", "04:00:00", 360000, "04:00:00"});
        row("100 h 1 min 1 s", {360061, "", "04:01:01", 360061, "04:01:01"});
        row("typed", {0, "01:02:05", "01:02:05", 3725, "01:02:05"});
        row("single digits", {0, "1:2:5", "1:2:5", 3725, "01:02:05"});
        row("hidden days kept", {360000, "05:00:30", "05:00:30", 363630, "05:00:30"});
        row("to zero", {42, "00:00:00", "00:00:00", 0, "00:00:00"});
        row("out of range refused", {3725, "25:61:xx", "2:6:", 3725, "01:02:05"});
        row("half typed", {3725, "7:", "7:", 3725, "01:02:05"});
        row("seconds up", {59, "up@8", "00:01:00", 60, "00:01:00"});
        row("minutes up", {3725, "up@4", "01:03:05", 3785, "01:03:05"});
        row("hours into the hidden day", {23 * 3600, "up@1", "00:00:00", 86400, "00:00:00"});
        row("hours down", {3725, "down@0", "00:02:05", 125, "00:02:05"});
        row("not below zero", {30, "down@1", "00:00:00", 0, "00:00:00"});
    }
    void duration()
    {
        QFETCH(Typing, typing);
        const auto &[before, keys, text, after, shown] = typing;
        DurationEdit edit;
        QSignalSpy changed(&edit, &DurationEdit::secondsChanged);
        edit.SetSeconds(before);
        QLineEdit *line = edit.findChild<QLineEdit *>();
        QVERIFY(line);
        if (keys.contains(u'@')) {
            line->setCursorPosition(keys.section(u'@', 1).toInt());
            QTest::keyClick(&edit, keys.startsWith(u"up") ? Qt::Key_Up : Qt::Key_Down);
        } else if (!keys.isEmpty()) {
            line->selectAll();
            QTest::keyClick(line, Qt::Key_Delete);
            QTest::keyClicks(line, keys);
        }
        QCOMPARE(line->text(), text);
        QCOMPARE(edit.Seconds(), after); // Set Start reads the control as it stands
        QTest::keyClick(&edit, Qt::Key_Return);
        QCOMPARE(edit.Seconds(), after);
        QCOMPARE(edit.text(), shown);
        QCOMPARE(changed.isEmpty() ? 0 : changed.last().first().toInt(), after);
    }

    void sliderClick_data()
    {
        QTest::addColumn<Click>("click");
        auto row = [](const char *tag, const Click &c) { QTest::newRow(tag) << c; };
        row("right of the thumb", {100, 0, Qt::LeftButton, 0.30, true});
        row("left of the thumb", {100, 80, Qt::LeftButton, 0.25, true});
        row("next to the thumb", {100, 50, Qt::LeftButton, 0.505, false});
        row("long range", {3600, 0, Qt::LeftButton, 0.70, true});
        row("right button", {100, 0, Qt::RightButton, 0.50, false});
    }
    void sliderClick()
    {
        QFETCH(Click, click);
        const auto &[maximum, value, button, share, jumps] = click;
        CSliderCtrlEx slider;
        QVERIFY(slider.SliderFollows());
        slider.setRange(0, maximum);
        slider.setValue(value);
        slider.resize(300, slider.sizeHint().height());
        QStyleOptionSlider option;
        option.initFrom(&slider);
        const QRect channel =
            slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, &slider);
        const int x = channel.left() + int(share * channel.width()), y = channel.center().y();
        const int target = int((x - channel.left()) / double(channel.width()) * maximum);

        QSignalSpy released(&slider, &CSliderCtrlEx::released);
        QSignalSpy moved(&slider, &QSlider::valueChanged);
        const bool left = button == Qt::LeftButton;
        QTest::mousePress(&slider, button, {}, QPoint(x, y));
        QCOMPARE(slider.SliderFollows(), !left);
        QCOMPARE(moved.size(), int(jumps));
        QCOMPARE(slider.value(), jumps ? target : value);
        if (jumps) {
            // The thumb is now under the pointer, so it drags on at once.
            const QPointF to(x + channel.width() / 5, y);
            QMouseEvent move(QEvent::MouseMove, to, slider.mapToGlobal(to), Qt::NoButton, button, Qt::NoModifier);
            QApplication::sendEvent(&slider, &move);
            QVERIFY(slider.value() > target + maximum / 10);
        }
        QCOMPARE(released.size(), 0);
        QTest::mouseRelease(&slider, button, {}, QPoint(x, y));
        QCOMPARE(released.size(), left ? 1 : 0);
        QCOMPARE(slider.SliderFollows(), !left); // only the window sets it again, once it has sought
    }
};

QTEST_MAIN(TestPreviewWidgets)
#include "test_previewwidgets.moc"
