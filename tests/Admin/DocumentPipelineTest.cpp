// The pipeline that gives many documents a new content: every step once per document, the
// documents finished in their order whatever the workers do, and a failure that stops or not.
#include "DocumentPipeline.h"
#include "TestSupport.h"
#include "WinPath.h"

#include <algorithm>

namespace varkel::admin {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::writeBytes;

class DocumentPipelineTest : public test::ScratchFolder, public ::testing::WithParamInterface<size_t> {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        share = mapNetworkDrive();
        for (size_t i = 0; i < 8; ++i) {
            documents.push_back("N:\\doc" + std::to_string(i));
            order.push_back(i);
        }
        resetDocuments();
    }
    // Seven documents and a name with no document (3); one (5) is a link.
    void resetDocuments() {
        for (int i = 0; i < 8; ++i) fs::remove(share / ("doc" + std::to_string(i)));
        for (int i = 0; i < 8; ++i)
            if (i != 3 && i != 5) writeBytes(share / ("doc" + std::to_string(i)), "content " + std::to_string(i));
        writeBytes(share / "target", "linked");
        fs::create_symlink(share / "target", share / "doc5");
        log.clear();
        finished.clear();
        failed.clear();
    }

    // New content: the old one reversed; `failing` fails.
    PipelineSteps steps(std::optional<size_t> failing, bool goOn) {
        PipelineSteps s;
        s.newContent = [=, this](size_t index, std::string& content) {
            if (index == failing) throw DocumentFailed{platform::VbError(platform::kDiskFull)};
            log.push_back("new " + std::to_string(index));
            return std::string(content.rbegin(), content.rend());
        };
        s.byName = [this](size_t index) { log.push_back("by name " + std::to_string(index)); };
        s.written = [this](size_t index) {
            EXPECT_TRUE(fs::exists(platform::hostPath(documents[index] + platform::kScratchSuffix)));
            log.push_back("written " + std::to_string(index));
        };
        s.placed = [this](size_t index) { log.push_back("placed " + std::to_string(index)); };
        s.finished = [this](size_t index) { finished.push_back(index); };
        s.failed = [=, this](size_t index, const platform::VbError& error) {
            EXPECT_EQ(error.number(), platform::kDiskFull);
            failed.push_back(index);
            return goOn;
        };
        return s;
    }
    size_t count(const std::string& step) const { return static_cast<size_t>(std::count(log.begin(), log.end(), step)); }
    bool reversed(size_t i) const {
        const std::string plain = "content " + std::to_string(i);
        return readBytes(share / ("doc" + std::to_string(i))) == std::string(plain.rbegin(), plain.rend());
    }

    fs::path share;
    std::vector<std::string> documents;
    std::vector<size_t> order;
    std::vector<std::string> log;
    std::vector<size_t> finished;
    std::vector<size_t> failed;
};

TEST_P(DocumentPipelineTest, EachDocumentGoesThroughEveryStepOnceAndIsFinishedInOrder) {
    runPipeline(documents, order, steps(std::nullopt, true), {.workers = GetParam(), .ahead = 3, .largest = 100});
    EXPECT_EQ(finished, (std::vector<size_t>{0, 1, 2, 4, 5, 6, 7}));  // 3 is missing
    for (size_t i : {0, 1, 2, 4, 6, 7}) {
        EXPECT_TRUE(reversed(i)) << i;
        for (const char* step : {"new ", "written ", "placed "}) EXPECT_EQ(count(step + std::to_string(i)), 1u) << step << i;
    }
    EXPECT_EQ(count("by name 5"), 1u);
    EXPECT_EQ(readBytes(share / "target"), "linked");  // left to the command's own way
    for (const auto& entry : fs::directory_iterator(share))
        EXPECT_EQ(entry.path().string().find(platform::kScratchSuffix), std::string::npos) << entry.path();
}

TEST_P(DocumentPipelineTest, AFailureStopsOnlyWhenTheCommandSaysSo) {
    for (const bool goOn : {false, true}) {
        SCOPED_TRACE(goOn ? "going on" : "stopping");
        resetDocuments();
        runPipeline(documents, order, steps(2, goOn), {.workers = GetParam(), .ahead = 3, .largest = 100});
        EXPECT_EQ(failed, std::vector<size_t>{2});
        EXPECT_EQ(readBytes(share / "doc2"), "content 2");
        EXPECT_EQ(finished, goOn ? (std::vector<size_t>{0, 1, 4, 5, 6, 7}) : (std::vector<size_t>{0, 1}));
        for (size_t i : {4, 6, 7}) EXPECT_EQ(reversed(i), goOn) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Workers, DocumentPipelineTest, ::testing::Values(0, 3),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             return info.param == 0 ? std::string("None") : std::to_string(info.param);
                         });

}  // namespace
}  // namespace varkel::admin
