// An integer field with up and down buttons and no bounds. Typed characters other
// than digits, "+", "-" and the decimal separator are refused with a beep; pasted
// text goes in unfiltered, because the run reads and corrects whatever the field holds.
#pragma once

#include <functional>

#include <QAbstractSpinBox>
#include <QString>

namespace kurvane::gui {

class SpinEdit : public QAbstractSpinBox {
    Q_OBJECT

public:
    SpinEdit(QString decimalSeparator, std::function<void()> beep, QWidget* parent = nullptr);

    void setText(const QString& text);

    // Adds steps to the field's value; a text that is no number counts as 0.
    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

protected:
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    bool Allowed(const QString& typed) const;

    QString decimalSeparator_;
    std::function<void()> beep_;
};

}  // namespace kurvane::gui
