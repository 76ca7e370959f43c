#include "customspinbox.h"

#include <utility>

CustomSpinBox::CustomSpinBox(QWidget *parent) : QSpinBox(parent) {}

CustomSpinBox::CustomSpinBox(TextToValue textToValue, ValueToText valueToText, QWidget *parent)
    : QSpinBox(parent), textToValue(std::move(textToValue)), valueToText(std::move(valueToText))
{
    refreshText();
}

CustomSpinBox::~CustomSpinBox() = default;

void CustomSpinBox::setTextToValue(TextToValue conversion)
{
    textToValue = std::move(conversion);
}

void CustomSpinBox::setValueToText(ValueToText conversion)
{
    valueToText = std::move(conversion);
    refreshText();
}

void CustomSpinBox::refreshText()
{
    // Setting an affix makes the base format its value again, now through valueToText.
    setSuffix(suffix());
}

QValidator::State CustomSpinBox::validate(QString &, int &) const
{
    return QValidator::Acceptable;
}

int CustomSpinBox::valueFromText(const QString &text) const
{
    if (!textToValue)
        return -1;
    QString bare = text;
    bare.remove(suffix(), Qt::CaseSensitive);
    bare.remove(prefix(), Qt::CaseSensitive);
    bare.remove(QChar(0x00A0));
    return textToValue(bare);
}

QString CustomSpinBox::textFromValue(int value) const
{
    return valueToText ? valueToText(value) : QString();
}
