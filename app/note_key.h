// SPDX-License-Identifier: MIT
#pragma once

#include <QPushButton>

namespace chimex {

/// One key of the keyboard (the control array cmdNote): a flat push button in its own colour that
/// reports raw mouse presses and releases with its index. Any mouse button counts; Qt's implicit
/// grab delivers the release to the key that was pressed. Key strokes never play it.
class NoteKey : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(int index READ index CONSTANT)

  public:
    NoteKey(int index, QWidget* parent);

    int index() const { return index_; }
    /// Shows the key pressed while its note sounds.
    void setHeld(bool held);
    bool isHeld() const { return held_; }
    /// The computer key that plays this key, shown small at its foot; empty for none.
    void setLabel(const QString& label);
    QString label() const { return label_; }

  signals:
    /// `time` is the mouse event's time stamp, milliseconds.
    void notePressed(int index, quint64 time);
    /// `lastButton` is false while another mouse button is still down on the key.
    void noteReleased(int index, bool lastButton, quint64 time);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    int index_;
    bool held_ = false;
    QString label_;
};

} // namespace chimex
