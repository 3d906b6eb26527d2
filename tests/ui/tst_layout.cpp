// No caption clipped by its geometry and nothing overlapping, in the font the
// window really uses, including the longest texts the program puts there.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QSet>
#include <QTabWidget>
#include <QTableWidget>

#include "form_fixture.h"

class LayoutTest : public zarvex::testing::FormFixture {
  Q_OBJECT

  void ShowForm() {
    MakeForm();
    Form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&Form()));
  }

  // Returns a description of every control whose caption does not fit.
  QStringList ClippedCaptions() {
    QStringList clipped;
    auto check = [&](const QWidget* w, const QString& text, QSize needed) {
      if (!text.isEmpty() && (needed.width() > w->width() || needed.height() > w->height())) {
        clipped << QStringLiteral("%1 \"%2\": needs %3x%4, has %5x%6")
                       .arg(w->objectName(), text)
                       .arg(needed.width())
                       .arg(needed.height())
                       .arg(w->width())
                       .arg(w->height());
      }
    };
    for (QLabel* label : Form().findChildren<QLabel*>()) {
      QSize needed = label->sizeHint();
      if (label->wordWrap()) needed = QSize(label->width(), label->heightForWidth(label->width()));
      check(label, label->text(), needed);
    }
    for (QAbstractButton* button : Form().findChildren<QAbstractButton*>()) {
      if (qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button) ||
          qobject_cast<QPushButton*>(button)) {
        check(button, button->text(), button->sizeHint());
      }
    }
    for (QGroupBox* box : Form().findChildren<QGroupBox*>()) {
      const QSize title(box->fontMetrics().horizontalAdvance(box->title()) + 16,
                        box->fontMetrics().height());
      check(box, box->title(), title);
    }
    return clipped;
  }

 private slots:
  void noCaptionIsClipped() {
    ShowForm();
    QStringList clipped = ClippedCaptions();
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join('\n')));

    Form().SetStatus("Устройство подключено", zarvex::protocol::kConnectedGreen);
    Form().SetDeviceType("Zarvex GSM ZX-4110");
    Form().SetDeviceVersion("529");
    Form().SetWirelessLabels(
        "Брелоки: 1, 2, 3, 4, 5, 6, 7, 8, 9, 10",
        "Датчики: 3(1), 3(2), 3(3), 3(4), 3(5), 3(6), 3(7), 3(8), 3(9), 3(10), 4(1), 4(2), "
        "4(3), 4(4), 4(5), 4(6), 4(7), 4(8), 4(9), 4(10)");
    clipped = ClippedCaptions();
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join('\n')));
  }

  void transferWarningFitsBetweenTheStatusTextAndTheDeviceList() {
    ShowForm();
    auto* status = W<QLabel>("LabelCon");
    auto* warning = W<QLabel>("LabelTransferWarning");
    for (const char* text : {"Устройство не подключено", "Устройство подключено",
                             "Нет доступа к устройству"}) {
      Form().SetStatus(text, zarvex::protocol::kDisconnectedRed);
      Form().ShowTransferStatus({"", false, "Конфигурация записана не полностью"});
      const int statusRight =
          status->x() + QFontMetrics(status->font()).horizontalAdvance(status->text());
      QVERIFY2(warning->x() > statusRight, text);
      QVERIFY(warning->geometry().right() < W<QLabel>("Label62")->x());
      QVERIFY(QFontMetrics(warning->font()).horizontalAdvance(warning->text()) <=
              warning->contentsRect().width());
    }
    Form().ShowTransferStatus({});
    QVERIFY(warning->isHidden());
  }

  void noControlOverlapsAnotherOrLeavesItsParent() {
    ShowForm();
    QList<QWidget*> containers{&Form()};
    auto* pages = W<QTabWidget>("PageControl1");
    for (int i = 0; i < pages->count(); ++i) containers << pages->widget(i);
    QStringList faults;
    for (QWidget* container : containers) {
      if (container != &Form()) pages->setCurrentWidget(container);  // only the shown page is sized
      const QList<QWidget*> children =
          container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
      for (QWidget* a : children) {
        if (!container->rect().contains(a->geometry())) {
          faults << a->objectName() + " leaves " + container->objectName();
        }
        for (QWidget* b : children) {
          if (a >= b || !a->geometry().intersects(b->geometry())) continue;
          // The radio buttons lie over their caption frame on purpose.
          auto framed = [](QWidget* frame, QWidget* inner) {
            return qobject_cast<QGroupBox*>(frame) && frame->geometry().contains(inner->geometry());
          };
          // The transfer warning sits after the status text, inside the status's wide box.
          const QSet<QString> pair{a->objectName(), b->objectName()};
          if (pair == QSet<QString>{"LabelCon", "LabelTransferWarning"}) continue;
          if (!framed(a, b) && !framed(b, a)) faults << a->objectName() + " / " + b->objectName();
        }
      }
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
  }

  void allSevenTabsFitWithoutScrolling() {
    ShowForm();
    QTabBar* tabs = W<QTabWidget>("PageControl1")->tabBar();
    const QFontMetrics metrics(tabs->font());
    for (int i = 0; i < tabs->count(); ++i) {
      QVERIFY2(tabs->tabRect(i).width() >= metrics.horizontalAdvance(tabs->tabText(i)) + 8,
               qPrintable(tabs->tabText(i)));
    }
    QVERIFY2(tabs->tabRect(tabs->count() - 1).right() < tabs->width(),
             qPrintable(QStringLiteral("%1 %2").arg(tabs->tabRect(tabs->count() - 1).right()).arg(tabs->width())));
    QVERIFY(tabs->width() <= W<QTabWidget>("PageControl1")->width());
  }

  void keyGridShowsWholeKeysWithoutSideScrolling() {
    ShowForm();
    auto* grid = W<QTableWidget>("KeyGrid2");
    const int design[3] = {30, 130, 40};
    int total = 0;
    for (int column = 0; column < 3; ++column) {
      QVERIFY(grid->columnWidth(column) >= design[column]);
      total += grid->columnWidth(column);
    }
    const QFontMetrics metrics(grid->font());
    QVERIFY(grid->columnWidth(1) > metrics.horizontalAdvance("DD-DD-DD-DD-DD-DD-DD-DD"));
    QVERIFY(total + grid->verticalScrollBar()->sizeHint().width() + 2 * grid->frameWidth() <=
            grid->width());
  }
};

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
