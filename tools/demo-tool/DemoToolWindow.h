#pragma once

#include <QElapsedTimer>
#include <QJsonObject>
#include <QLabel>
#include <QTimer>
#include <QWidget>

// The window of the demo tool: the catalog entry it was installed for (title, version,
// game, description), the folder it runs from and how long it has been running, so that a
// tool started by the launcher is plainly visible.
class DemoToolWindow : public QWidget {
    Q_OBJECT
  public:
    // `entry` is the tool's catalog record as the demo site wrote it beside the program
    // (tool.json); an empty object shows a generic title.
    DemoToolWindow(const QJsonObject& entry, const QString& folder, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void ShowRunningTime();

    QColor accent_;
    QString title_;
    QString subtitle_;
    QLabel* running_ = nullptr;
    QElapsedTimer clock_;
    QTimer tick_;
};
