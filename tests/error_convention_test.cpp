// How a labelled routine meets an error: the four answers of the error-stack
// control, trapping off, nesting, and the label stack.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <sstream>

#include "chkimport/identity_translator.h"
#include "core/import_state.h"
#include "core/routine.h"
#include "dialogs/form1.h"
#include "dialogs/forms.h"
#include "dialogs/frm_vlist.h"
#include "test_support.h"

namespace chkimport {
namespace {

struct Convention : ::testing::Test {
  Convention() {
    st.host.errorLog = &log;
    st.host.actionPolicy = [this](int32_t number, const std::string& description,
                                  const std::string& suggested, const std::vector<std::string>& labels) {
      asked.push_back(std::to_string(number) + "|" + description + "|" + suggested + "|" +
                      (labels.empty() ? "" : labels.back()));
      std::string answer = answers.empty() ? suggested : answers.front();
      if (!answers.empty()) answers.pop_front();
      return answer;
    };
    st.objErrorStack = Instance<Form1>(st).Mishtrak1;
    st.objLanguage = &english;
    st.blnTrapErrors = true;
  }

  // A routine whose first statement fails `failures` times (or always, with
  // -1) and whose second statement appends "2" to the result.
  std::string sample(int failures) {
    std::string result;
    Routine r(st, "Sample, Test");
    return r.run(result, [&] {
      result = "0";
      r.step([&] {
        ++runs;
        if (failures < 0 || runs <= failures) RaiseSubscriptOutOfRange();
        result += "1";
      });
      r.step([&] { result += "2"; });
    });
  }

  ImportState st;
  IdentityTranslator english;
  std::ostringstream log;
  std::deque<std::string> answers;
  std::vector<std::string> asked;  // number|description|suggested answer|innermost label
  int runs = 0;
};

// A (or an unknown or empty answer) runs the failing statement again, B goes
// on after it, D leaves with the result so far; each pops its label.
TEST_F(Convention, AnswersARepeatBContinuesDLeaves) {
  const struct {
    std::deque<std::string> answers;
    int failures;
    std::string result;
    int runs;
  } cases[] = {
      {{"A", "A"}, 2, "012", 3}, {{"Z", ""}, 2, "012", 3}, {{"B"}, -1, "02", 1}, {{"D"}, -1, "0", 1}};
  for (const auto& c : cases) {
    answers = c.answers;
    runs = 0;
    asked.clear();
    EXPECT_EQ(sample(c.failures), c.result) << c.answers.front();
    EXPECT_EQ(runs, c.runs) << c.answers.front();
    EXPECT_TRUE(st.objErrorStack->Labels().empty()) << c.answers.front();
  }
  EXPECT_NE(Loaded<Form1>(st), nullptr);
  EXPECT_EQ(asked, std::vector<std::string>{"9|Subscript out of range|D|Sample, Test"});
}

TEST_F(Convention, AnswerCClosesEveryDialogAndLeaves) {
  Instance<FrmVList>(st);
  ASSERT_EQ(st.Forms.size(), 2u);
  answers = {"C"};
  EXPECT_EQ(sample(-1), "0");
  EXPECT_TRUE(st.Forms.empty());
  // The control outlives its form while the module holds it; CloseDown's
  // label is the only one left, as CloseDown never pops.
  ASSERT_EQ(st.objErrorStack->Labels().size(), 1u);
  EXPECT_EQ(st.objErrorStack->Labels()[0], "CloseDown, ImportCHKCode");
}

TEST_F(Convention, DefaultPolicyLeavesAndReportsTheRunningRoutines) {
  st.host.actionPolicy = &ErrorStack::AnswerSuggested;
  Discard<Form1>(st);
  st.objErrorStack = Instance<Form1>(st).Mishtrak1;
  std::string outer;
  Routine r(st, "Outer, Test");
  r.run([&] { r.step([&] { outer = sample(-1) + "|after"; }); });
  EXPECT_EQ(outer, "0|after");
  EXPECT_EQ(log.str(),
            "chkimport: error 9: Subscript out of range\n  in Sample, Test\n  called from Outer, Test\n");
}

TEST_F(Convention, WithoutTrappingTheErrorGoesToTheCaller) {
  st.blnTrapErrors = false;
  EXPECT_THROW(sample(-1), VbError);
  EXPECT_TRUE(asked.empty());
  // The failing routine never reached its normal way out.
  ASSERT_EQ(st.objErrorStack->Labels().size(), 1u);
}

// Other exceptions reach Action as internal errors, a word past the bound
// of the fixed array as error 9; leaving keeps the result as it was.
TEST_F(Convention, OtherFailuresReachActionAsErrors) {
  std::string result = "kept";
  for (const auto& fail : std::vector<std::function<void()>>{[] { throw std::runtime_error("disk on fire"); },
                                                             [&] { st.strWords(101) = "X"; }}) {
    Routine r(st, "Sample, Test");
    r.run(result, [&] {
      r.step(fail);
      result = "overwritten";
    });
  }
  EXPECT_EQ(result, "kept");
  EXPECT_EQ(asked, (std::vector<std::string>{"51|Internal error: disk on fire|D|Sample, Test",
                                             "9|Subscript out of range|D|Sample, Test"}));
  int16_t counter = INT16_MAX;
  EXPECT_THROW(Increment(counter), VbError);
  EXPECT_EQ(counter, INT16_MAX);
}

TEST_F(Convention, PushingWithoutTheControlIsObjectNotSet) {
  st.objErrorStack.reset();
  EXPECT_EQ(testing_support::ErrorOf([&] { Routine r(st, "Sample, Test"); }), 91);
}

}  // namespace
}  // namespace chkimport
