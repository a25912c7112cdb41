#include "valuelabel.h"

#include "inputs.h"

#include <QAccessibleWidget>

namespace {

class ValueLabelAccessible : public QAccessibleWidget {
public:
    explicit ValueLabelAccessible(ValueLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        const auto* label = static_cast<const ValueLabel*>(widget());
        // Computed when asked, so the name follows every change of the text; QLabel::setText tells
        // the screen reader that the name changed.
        return t == QAccessible::Name ? label->spokenText() : QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* valueLabelFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("ValueLabel"))
        if (auto* label = qobject_cast<ValueLabel*>(object))
            return new ValueLabelAccessible(label);
    return nullptr;
}

}  // namespace

ValueLabel::ValueLabel(const QString& objectName, const QString& caption, QWidget* parent)
    : QLabel(parent), caption_(caption)
{
    static const bool installed = [] {
        QAccessible::installFactory(valueLabelFactory);
        return true;
    }();
    (void)installed;
    setObjectName(objectName);
    // Codes, names and figures are shown as they stand, never read as markup.
    setTextFormat(Qt::PlainText);
}

QString ValueLabel::spokenText() const
{
    const QString value = text().trimmed();
    if (caption_.isEmpty())
        return value;
    return value.isEmpty() ? caption_ : caption_ + QLatin1Char(' ') + value;
}

ValueLabel* valueBox(const QString& objectName, const QString& caption, int twipsWide, QWidget* parent)
{
    auto* l = new ValueLabel(objectName, caption, parent);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setMinimumWidth(twips(twipsWide));
    l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return l;
}
