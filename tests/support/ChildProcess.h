#pragma once

#include <map>
#include <string>

namespace omrek::test {

// The test runner is root, who may open any file. A test that needs a
// permission failure runs its other half, the case `childTest` of this same
// binary (a suite named *Child), in a child process with root's privileges
// dropped to nobody's. `environment` is how the parent hands it paths. The
// child runs copies of this program and of Qt's screen layout, so the
// checkout may lie where nobody cannot reach.
// Returns the child's exit status: 0 when the child case passed.
int RunTestCaseAsNobody(const std::string& childTest, const std::map<std::string, std::string>& environment);

// The same with root's privileges kept, for a case that changes what a
// process keeps for its whole life (signal handlers, a termination request).
int RunTestCaseInChild(const std::string& childTest, const std::map<std::string, std::string>& environment);

// For the child half: the value the parent handed over. Run without its
// parent, the case fails with an exception saying so; CTest never runs it
// that way (see omrek_add_test).
std::string ChildArgument(const std::string& name);

}  // namespace omrek::test
