#ifndef CUSTOMSPINBOX_H
#define CUSTOMSPINBOX_H

#include <QSpinBox>

#include <functional>

// A spin box whose conversions between the shown text and the value come from outside, and
// which accepts whatever the user types (making sense of it is up to textToValue).
class CustomSpinBox : public QSpinBox
{
    Q_OBJECT

public:
    using TextToValue = std::function<int(const QString &)>;
    using ValueToText = std::function<QString(int)>;

    explicit CustomSpinBox(QWidget *parent = nullptr);
    CustomSpinBox(TextToValue textToValue, ValueToText valueToText, QWidget *parent = nullptr);
    ~CustomSpinBox() override;

    void setTextToValue(TextToValue conversion);
    void setValueToText(ValueToText conversion);

    QValidator::State validate(QString &input, int &pos) const override;

protected:
    int valueFromText(const QString &text) const override;
    QString textFromValue(int value) const override;

private:
    void refreshText();

    TextToValue textToValue;
    ValueToText valueToText;
};

#endif // CUSTOMSPINBOX_H
