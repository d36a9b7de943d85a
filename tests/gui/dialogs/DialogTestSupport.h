#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

namespace dialogtest {

// Runs the event loop (deferred deletes included) until `done` holds; false when it still
// does not after `limitMs`, which only bounds a broken test.
inline bool WaitFor(const std::function<bool()>& done, int limitMs = 30000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limitMs) {
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}

// Runs the event loop until every deleteLater() called so far has been carried out: a marker
// object deleted later goes after them. False when that takes longer than `limitMs`.
inline bool PendingDeletesDone(int limitMs = 30000) {
    QPointer<QObject> marker = new QObject;
    marker->deleteLater();
    return WaitFor([&marker] { return marker.isNull(); }, limitMs);
}

// Answers every message box that appears while it lives, from inside whatever event loop is
// running (also the nested loop of a modal box), with `answer`, and notes what it saw.
class MessageBoxAnswerer {
  public:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
    };

    explicit MessageBoxAnswerer(QMessageBox::StandardButton answer) : answer_(answer) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Answer(); });
        timer_.start(10);
    }

    const std::vector<Seen>& SeenBoxes() const { return seen_; }

  private:
    void Answer() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr || !box->isVisible() || box->property("answered").toBool()) {
                continue;
            }
            box->setProperty("answered", true);
            seen_.push_back({box->windowTitle(), box->text(), box->standardButtons()});
            if (QAbstractButton* button = box->button(answer_)) {
                button->click();
            }
        }
    }

    QMessageBox::StandardButton answer_;
    QTimer timer_;
    std::vector<Seen> seen_;
};

// Saves a picture of `widget` as <name>.png in $RAVIK_SCREENSHOT_DIR when that is set, so
// the screenshots of the documentation come from the same widgets the tests drive.
inline void SaveScreenshot(QWidget* widget, const QString& name) {
    const QByteArray dir = qgetenv("RAVIK_SCREENSHOT_DIR");
    if (dir.isEmpty()) {
        return;
    }
    QDir().mkpath(QString::fromLocal8Bit(dir));
    widget->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/") + name +
                        QStringLiteral(".png"));
}

}  // namespace dialogtest
