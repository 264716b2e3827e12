#pragma once
// The file-copy animation shown while charts are installed: a sheet flies
// from one folder to the other, 34 frames over and over.

#include <QTimer>
#include <QWidget>

class TCopyAnimation : public QWidget {
  Q_OBJECT
 public:
  static constexpr int FrameCount = 34;

  explicit TCopyAnimation(QWidget* Parent = nullptr);
  void Start();
  void Stop();
  bool Active() const { return FTimer.isActive(); }
  int Frame() const { return FFrame; }
  QSize sizeHint() const override { return QSize(272, 60); }

 protected:
  void paintEvent(QPaintEvent* Event) override;

 private:
  void NextFrame();
  QTimer FTimer;
  int FFrame = 0;
};
