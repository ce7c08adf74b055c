#include "widgets/Accessibility.h"

#include <QAccessibleWidget>
#include <QTreeWidget>

#include "widgets/BarMeter.h"
#include "widgets/ClickLabel.h"
#include "widgets/LinkLabel.h"
#include "widgets/ReportTableAccessible.h"

namespace omrek {

namespace {

// A label clicked like a button (or, underlined, like a link): its name is its accessible name, or else
// its text; its one action presses it.
class ClickLabelAccessible : public QAccessibleWidget {
 public:
  explicit ClickLabelAccessible(ClickLabel* label)
      : QAccessibleWidget(label, qobject_cast<LinkLabel*>(label) != nullptr ? QAccessible::Link : QAccessible::Button) {
    addControllingSignal(QStringLiteral("clicked()"));
  }

  QString text(QAccessible::Text kind) const override {
    const QString own = QAccessibleWidget::text(kind);
    if (kind != QAccessible::Name || !own.isEmpty()) return own;
    return static_cast<ClickLabel*>(widget())->text();
  }

  QStringList actionNames() const override { return {pressAction()}; }

  void doAction(const QString& action) override {
    if (action == pressAction()) emit static_cast<ClickLabel*>(widget())->clicked();
  }
};

// The bar meter as a progress bar: its value is the work done, out of the
// work total.
class BarMeterAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit BarMeterAccessible(BarMeter* meter) : QAccessibleWidget(meter, QAccessible::ProgressBar) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text kind) const override {
    const QString own = QAccessibleWidget::text(kind);
    if (kind == QAccessible::Value) return QStringLiteral("%1%").arg(Meter().percent());
    if (kind == QAccessible::Name && own.isEmpty()) return QStringLiteral("Completion Progress");
    return own;
  }

  QVariant currentValue() const override { return QVariant::fromValue(Meter().position()); }
  void setCurrentValue(const QVariant&) override {}
  QVariant maximumValue() const override { return QVariant::fromValue(Meter().maximum()); }
  QVariant minimumValue() const override { return QVariant::fromValue(std::int64_t{0}); }
  QVariant minimumStepSize() const override { return QVariant::fromValue(std::int64_t{0}); }

 private:
  const BarMeter& Meter() const { return *static_cast<const BarMeter*>(object()); }
};

// Marks the lists that are told as tables.
constexpr char kTableProperty[] = "omrekPresentAsTable";

QAccessibleInterface* PaintedControl(const QString&, QObject* object) {
  if (auto* label = qobject_cast<ClickLabel*>(object)) return new ClickLabelAccessible(label);
  if (auto* meter = qobject_cast<BarMeter*>(object)) return new BarMeterAccessible(meter);
  auto* list = qobject_cast<QTreeWidget*>(object);
  if (list != nullptr && list->property(kTableProperty).toBool()) return new ReportTableAccessible(list);
  return nullptr;
}

}  // namespace

void InstallWidgetAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(PaintedControl);
    return true;
  }();
  (void)installed;
}

void PresentAsTable(QTreeWidget& list) {
  InstallWidgetAccessibility();
  list.setProperty(kTableProperty, true);
  // Setting a tip or a name has Qt make the list's interface already, as
  // a tree: it is dropped, to be made anew as a table when next asked for.
  if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(&list)) {
    if (made->tableInterface() != nullptr && made->role() != QAccessible::Table) {
      QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
  }
}

}  // namespace omrek
