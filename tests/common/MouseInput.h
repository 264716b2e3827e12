#pragma once
// Mouse input as a window system delivers it to a widget. A quick double
// click arrives as press, release, a double-click event (the second press)
// and release; QTest::mouseDClick sends the double-click event alone.

#include <qpa/qwindowsysteminterface.h>
#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <QWindow>

inline void DoubleClickAsDelivered(QWidget* Widget, QPoint Position) {
  QTest::mousePress(Widget, Qt::LeftButton, {}, Position);
  QTest::mouseRelease(Widget, Qt::LeftButton, {}, Position);
  const QPointF global = Widget->mapToGlobal(QPointF(Position));
  QMouseEvent second(QEvent::MouseButtonDblClick, QPointF(Position), global, Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Widget, &second);
  QTest::mouseRelease(Widget, Qt::LeftButton, {}, Position);
}

// A click on Widget that the window system has queued but not yet handed to
// the application: it arrives with the next pass through the event loop
// that takes user input, as a click made during a long step does.
inline void QueueClick(QWidget* Widget) {
  QWidget* top = Widget->window();
  QWindow* window = top->windowHandle();
  const QPointF local(Widget->mapTo(top, Widget->rect().center()));
  const QPointF global(top->mapToGlobal(local));
  using TSystem = QWindowSystemInterface;
  TSystem::handleMouseEvent<TSystem::AsynchronousDelivery>(
      window, local, global, Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress);
  TSystem::handleMouseEvent<TSystem::AsynchronousDelivery>(
      window, local, global, Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease);
}
