#include "app/spin_edit.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include "measure/bytes.h"

namespace kurvane::gui {

namespace {

// A key that only produces control characters (Backspace, Ctrl+V, ...) edits or
// moves; only printable characters are checked.
bool IsTyping(const QKeyEvent& event)
{
    if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = event.text();
    return !text.isEmpty() && text.at(0).unicode() >= 32 && text.at(0).unicode() != 127;
}

}  // namespace

SpinEdit::SpinEdit(QString decimalSeparator, std::function<void()> beep, QWidget* parent)
    : QAbstractSpinBox(parent), decimalSeparator_(std::move(decimalSeparator)), beep_(std::move(beep))
{
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setKeyboardTracking(true);
}

void SpinEdit::setText(const QString& text) { lineEdit()->setText(text); }

void SpinEdit::stepBy(int steps)
{
    const std::optional<std::int32_t> value = TextToInt(text().toStdString());
    // Stepping past the 32-bit range stops at its end rather than wrapping round.
    const std::int64_t next = std::int64_t{value.value_or(0)} + steps;
    const std::int64_t bounded = std::clamp<std::int64_t>(next, std::numeric_limits<std::int32_t>::min(),
                                                          std::numeric_limits<std::int32_t>::max());
    setText(QString::number(bounded));
    selectAll();
}

QValidator::State SpinEdit::validate(QString&, int&) const { return QValidator::Acceptable; }

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const { return StepUpEnabled | StepDownEnabled; }

bool SpinEdit::Allowed(const QString& typed) const
{
    for (const QChar c : typed) {
        const bool ok = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('+') ||
                        c == QLatin1Char('-') || decimalSeparator_.contains(c);
        if (!ok)
            return false;
    }
    return true;
}

void SpinEdit::keyPressEvent(QKeyEvent* event)
{
    // The field steps by one only; page keys do nothing here.
    if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
        event->ignore();
        return;
    }
    if (IsTyping(*event) && !Allowed(event->text())) {
        beep_();
        event->accept();
        return;
    }
    QAbstractSpinBox::keyPressEvent(event);
}

void SpinEdit::inputMethodEvent(QInputMethodEvent* event)
{
    // Text composed with an input method is typed text too.
    if (!event->commitString().isEmpty() && !Allowed(event->commitString())) {
        beep_();
        QInputMethodEvent cleared(QString(), {});
        QAbstractSpinBox::inputMethodEvent(&cleared);
        event->accept();
        return;
    }
    QAbstractSpinBox::inputMethodEvent(event);
}

}  // namespace kurvane::gui
