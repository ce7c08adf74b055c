#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <QWidget>
#include <stdexcept>
#include <string>

namespace omrek::test {

// The control of `parent` whose objectName is `name`, found the way tools
// find it, so that tests need no public members. A control that is missing
// or of another type fails the test.
template <class T>
T& Child(const QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(QString::fromLatin1(name));
  if (child == nullptr) {
    const std::string missing = "no " + std::string(T::staticMetaObject.className()) + " named " + name + " in " +
                                parent.objectName().toStdString();
    ADD_FAILURE() << missing;
    throw std::logic_error(missing);
  }
  return *child;
}

// Clicks the control of `parent` named `name` with the left button.
inline void Click(const QWidget& parent, const char* name) {
  QTest::mouseClick(&Child<QWidget>(parent, name), Qt::LeftButton);
}

}  // namespace omrek::test
