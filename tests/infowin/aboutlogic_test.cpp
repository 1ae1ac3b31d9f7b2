// What the About window decides, without any window: AboutFormLogic over controls that only
// remember what they were told, a registry that answers what the test gives it and an opener of
// web addresses that only counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "engine/report.h"
#include "infowin/aboutlogic.h"
#include "infowin/design.h"
#include "platform/desktop.h"
#include "platform/registry.h"
#include "trelvo_version.h"

namespace form = trelvo::design::aboutForm;
using trelvo::Icon;
using trelvo::Report;

namespace {

class FakeControls final : public trelvo::AboutFormControls {
public:
    void setCaption(const std::string& text) override { caption = text; }
    std::string text(const trelvo::design::Control& label) const override {
        const auto it = texts.find(label.name);
        return it == texts.end() ? std::string() : it->second;
    }
    void setText(const trelvo::design::Control& label, const std::string& value) override {
        texts[label.name] = value;
        calls.push_back(std::string("text ") + label.name);
    }
    void styleAsLink(const trelvo::design::Control& label) override {
        calls.push_back(std::string("link ") + label.name);
    }
    void showBox(const Report& report) override { boxes.push_back(report); }

    std::string caption;
    std::map<std::string, std::string> texts;
    std::vector<std::string> calls;
    std::vector<Report> boxes;
};

// Answers from a table of keys; records what was opened, queried and closed.
class FakeRegistry final : public trelvo::RegistryReader {
public:
    long open(trelvo::RegKey root, const std::string& keyName, std::uint32_t, std::uint32_t,
              trelvo::RegKey* key) override {
        asked.push_back(keyName);
        if (root != trelvo::kHkeyLocalMachine || !values.count(keyName))
            return trelvo::kErrorFileNotFound;
        *key = static_cast<trelvo::RegKey>(++opens);
        keyNames[*key] = keyName;
        return trelvo::kErrorSuccess;
    }
    long query(trelvo::RegKey key, const std::string& valueName, std::uint32_t* type,
               unsigned char* data, std::uint32_t* size) override {
        const auto& inKey = values.at(keyNames.at(key));
        const auto it = inKey.find(valueName);
        if (it == inKey.end())
            return trelvo::kErrorFileNotFound;
        return trelvo::deliverValue(it->second, type, data, size);
    }
    long close(trelvo::RegKey) override {
        ++closes;
        return trelvo::kErrorSuccess;
    }

    std::map<std::string, std::map<std::string, trelvo::RegValue>> values;
    std::map<trelvo::RegKey, std::string> keyNames;
    std::vector<std::string> asked;
    int opens = 0;
    int closes = 0;
};

class CountingOpener final : public trelvo::UrlOpener {
public:
    int open(const std::string& url) override {
        opened.push_back(url);
        return trelvo::kUrlOpened;
    }
    std::vector<std::string> opened;
};

const std::string kToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string kLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

void expectUnavailableBox(const std::vector<Report>& boxes) {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "System Information Is Unavailable At This Time");
    EXPECT_EQ(boxes[0].title, "");  // the program title
    EXPECT_EQ(boxes[0].icon, Icon::None);
}

// Puts a registry in place for as long as it lives.
struct RegistryInUse {
    explicit RegistryInUse(trelvo::RegistryReader& r) { trelvo::setRegistry(&r); }
    ~RegistryInUse() { trelvo::setRegistry(nullptr); }
    RegistryInUse(const RegistryInUse&) = delete;
    RegistryInUse& operator=(const RegistryInUse&) = delete;
};

}  // namespace

TEST(AboutFormLogic, LoadSetsCaptionTitleVersionAndTheLinkWithItsFullAddress) {
    FakeControls w;
    trelvo::AboutFormLogic logic(w);
    logic.Form_Load();
    EXPECT_EQ(w.caption, "About Trelvo");
    EXPECT_EQ(w.texts["lblTitle"], "Trelvo");
    EXPECT_EQ(w.texts["lblVersion"], "Version " TRELVO_VERSION);
    EXPECT_EQ(w.texts["lblLnk"], TRELVO_HOMEPAGE_URL);
    // The label is made a link before it gets its address; nothing else is touched.
    EXPECT_EQ(w.calls, (std::vector<std::string>{"text lblVersion", "text lblTitle", "link lblLnk",
                                                 "text lblLnk"}));
    EXPECT_TRUE(w.boxes.empty());
}

TEST(AboutFormLogic, CaptionAndVersionTexts) {
    EXPECT_EQ(trelvo::about::caption(), "About Trelvo");
    const std::string version = trelvo::about::versionText();
    EXPECT_EQ(version.rfind("Version ", 0), 0u);
    EXPECT_EQ(std::count(version.begin(), version.end(), '.'), 2);
}

TEST(AboutFormLogic, ClickingTheLinkOpensWhatTheLabelSays) {
    CountingOpener opener;
    trelvo::setUrlOpener(&opener);
    FakeControls w;
    trelvo::AboutFormLogic logic(w);
    w.texts["lblLnk"] = "https://example.org/some/page";
    logic.lblLnk_Click();
    trelvo::setUrlOpener(nullptr);
    EXPECT_EQ(opener.opened, (std::vector<std::string>{"https://example.org/some/page"}));
    EXPECT_TRUE(w.boxes.empty());
}

TEST(AboutFormLogic, SystemInfoWithNeitherKeyShowsTheUnavailableBox) {
    FakeRegistry reg;
    const RegistryInUse inUse(reg);
    FakeControls w;
    trelvo::AboutFormLogic logic(w);
    logic.cmdSysInfo_Click();
    expectUnavailableBox(w.boxes);
    EXPECT_EQ(reg.asked, (std::vector<std::string>{kToolKey, kLocationKey}));
    EXPECT_EQ(reg.closes, reg.opens);
}

TEST(AboutFormLogic, SystemInfoFolderWithoutTheToolShowsTheUnavailableBox) {
    FakeRegistry reg;
    const std::string folder = "no-such-folder-of-tools";
    reg.values[kLocationKey]["MSINFO"] =
        trelvo::RegValue{trelvo::kRegSz, {folder.begin(), folder.end()}};
    reg.values[kLocationKey]["MSINFO"].bytes.push_back(0);
    const RegistryInUse inUse(reg);
    FakeControls w;
    trelvo::AboutFormLogic logic(w);
    logic.StartSysInfo();
    expectUnavailableBox(w.boxes);
    EXPECT_EQ(reg.opens, 1);
    EXPECT_EQ(reg.closes, 1);
}

TEST(AboutFormLogic, SystemInfoValueWithoutBytesShowsTheUnavailableBox) {
    FakeRegistry reg;
    reg.values[kToolKey]["PATH"] = trelvo::RegValue{trelvo::kRegSz, {}};
    const RegistryInUse inUse(reg);
    FakeControls w;
    trelvo::AboutFormLogic logic(w);
    logic.StartSysInfo();
    expectUnavailableBox(w.boxes);
    EXPECT_EQ(reg.asked, (std::vector<std::string>{kToolKey}));  // the error ends the search
    EXPECT_EQ(reg.closes, 1);                                    // the key is closed on the way out
}
