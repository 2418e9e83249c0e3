// Entry point of the test programs of the Windows builds.
//
// GoogleTest's console printer hands every failure and skip message to the
// debugger channel as well. Wine delivers that channel as a structured
// exception; where 32-bit Wine runs under an emulator, unwinding from that
// exception crashes the test program at its first failed check. This main
// installs a printer that writes the same text to the console only.
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Forwards every event to GoogleTest's own printer, except the per-check
// results, which it prints itself in the same format.
class ConsoleOnlyPrinter : public testing::TestEventListener {
public:
    explicit ConsoleOnlyPrinter(testing::TestEventListener* printer) : inner(printer) {}

    void OnTestProgramStart(const testing::UnitTest& unitTest) override {
        inner->OnTestProgramStart(unitTest);
    }
    void OnTestIterationStart(const testing::UnitTest& unitTest, int iteration) override {
        inner->OnTestIterationStart(unitTest, iteration);
    }
    void OnEnvironmentsSetUpStart(const testing::UnitTest& unitTest) override {
        inner->OnEnvironmentsSetUpStart(unitTest);
    }
    void OnEnvironmentsSetUpEnd(const testing::UnitTest& unitTest) override {
        inner->OnEnvironmentsSetUpEnd(unitTest);
    }
    void OnTestSuiteStart(const testing::TestSuite& suite) override {
        inner->OnTestSuiteStart(suite);
    }
    void OnTestStart(const testing::TestInfo& info) override { inner->OnTestStart(info); }
    void OnTestDisabled(const testing::TestInfo& info) override { inner->OnTestDisabled(info); }
    void OnTestPartResult(const testing::TestPartResult& result) override {
        const char* kind = nullptr;
        switch (result.type()) {
        case testing::TestPartResult::kSuccess:
            return;
        case testing::TestPartResult::kSkip:
            kind = "Skipped";
            break;
        default:
            kind = "Failure";
            break;
        }
        std::string where =
            testing::internal::FormatFileLocation(result.file_name(), result.line_number());
        std::printf("%s %s\n%s\n", where.c_str(), kind, result.message());
        std::fflush(stdout);
    }
    void OnTestEnd(const testing::TestInfo& info) override { inner->OnTestEnd(info); }
    void OnTestSuiteEnd(const testing::TestSuite& suite) override { inner->OnTestSuiteEnd(suite); }
    void OnEnvironmentsTearDownStart(const testing::UnitTest& unitTest) override {
        inner->OnEnvironmentsTearDownStart(unitTest);
    }
    void OnEnvironmentsTearDownEnd(const testing::UnitTest& unitTest) override {
        inner->OnEnvironmentsTearDownEnd(unitTest);
    }
    void OnTestIterationEnd(const testing::UnitTest& unitTest, int iteration) override {
        inner->OnTestIterationEnd(unitTest, iteration);
    }
    void OnTestProgramEnd(const testing::UnitTest& unitTest) override {
        inner->OnTestProgramEnd(unitTest);
    }

private:
    std::unique_ptr<testing::TestEventListener> inner;
};

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::TestEventListeners& listeners = testing::UnitTest::GetInstance()->listeners();
    // Released from the list: the wrapper owns GoogleTest's printer from here on.
    testing::TestEventListener* printer = listeners.Release(listeners.default_result_printer());
    if (printer) {
        listeners.Append(new ConsoleOnlyPrinter(printer));
    }
    return RUN_ALL_TESTS();
}
