// QLNHELP.chm as built: every topic that a help table names has a text popup
// in the topic file of its dialog. The help file is opened with the
// platform's own reader of compiled help files (the InfoTech storage that the
// HTML Help system reads them with), and checked against the tables the
// deliverables compile in.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "help_ids.h"

// The InfoTech storage system's entry point (itss.dll). The interface has
// external linkage: inside an unnamed namespace, with no class of this file
// implementing it, the compiler may take its calls as unreachable.
struct IITStorage : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE StgCreateDocfile(const WCHAR*, DWORD, DWORD, IStorage**) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgCreateDocfileOnILockBytes(ILockBytes*, DWORD, DWORD, IStorage**) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgIsStorageFile(const WCHAR*) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgIsStorageILockBytes(ILockBytes*) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgOpenStorage(const WCHAR* name, IStorage* priority, DWORD mode,
                                                     SNB exclude, DWORD reserved, IStorage** storage) = 0;
};

namespace {

const CLSID kClsidITStorage = {0x5d02926a, 0x212e, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};
const IID kIidITStorage = {0x88cc31de, 0x27ab, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};

std::wstring HelpFilePath()
{
    WCHAR path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\')) + L"\\QLNHELP.chm";
}

// One file stored in the help file, or nothing (with a failure) when absent.
std::string ReadHelpFileEntry(const wchar_t* name)
{
    IITStorage* its = nullptr;
    HRESULT hr = CoCreateInstance(kClsidITStorage, nullptr, CLSCTX_INPROC_SERVER, kIidITStorage,
                                  reinterpret_cast<void**>(&its));
    EXPECT_EQ(hr, S_OK) << "no InfoTech storage";
    if (!its)
        return std::string();
    IStorage* storage = nullptr;
    hr = its->StgOpenStorage(HelpFilePath().c_str(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE, nullptr, 0,
                             &storage);
    its->Release();
    EXPECT_EQ(hr, S_OK) << "cannot open QLNHELP.chm beside the test";
    if (!storage)
        return std::string();
    IStream* stream = nullptr;
    hr = storage->OpenStream(name, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream);
    storage->Release();
    EXPECT_EQ(hr, S_OK) << "QLNHELP.chm has no " << std::string(name, name + wcslen(name));
    if (!stream)
        return std::string();
    std::string bytes;
    char buffer[4096];
    ULONG read = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof(buffer), &read)) && read > 0)
        bytes.append(buffer, read);
    stream->Release();
    return bytes;
}

std::string Trim(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// A text-popup file: ".topic N" lines, each followed by its text.
std::map<DWORD, std::string> ParseTopics(const std::string& file, std::vector<std::string>* problems)
{
    std::map<DWORD, std::string> topics;
    std::istringstream lines(file);
    std::string line;
    DWORD current = 0;
    bool inTopic = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, 7, ".topic ") == 0) {
            char* end = nullptr;
            unsigned long id = strtoul(line.c_str() + 7, &end, 10);
            if (end == line.c_str() + 7 || *end != '\0') {
                problems->push_back("unreadable line: " + line);
                inTopic = false;
                continue;
            }
            current = static_cast<DWORD>(id);
            if (topics.count(current))
                problems->push_back("topic " + std::to_string(current) + " appears twice");
            topics[current];
            inTopic = true;
        } else if (inTopic) {
            topics[current] += line + "\n";
        } else if (!Trim(line).empty()) {
            problems->push_back("text outside a topic: " + line);
        }
    }
    for (auto& topic : topics)
        topic.second = Trim(topic.second);
    return topics;
}

struct DialogHelp {
    const char* table;
    const DWORD* helpIds;
    const wchar_t* topicFile;  // "::/Name.txt"
};

const DialogHelp kDialogs[] = {
    {"FolderPageHelpIds", FolderPageHelpIds, kDirDressTopicFile},
    {"RedirectedPageHelpIds", RedirectedPageHelpIds, kDirDressTopicFile},
    {"FilePageHelpIds", FilePageHelpIds, kDocDressTopicFile},
    {"DrivePageHelpIds", DrivePageHelpIds, kVolDressTopicFile},
    {"StringPickerHelpIds", StringPickerHelpIds, kPickStringTopicFile},
};

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

TEST(HelpFile, EveryTopicOfEveryTableHasAPopupInItsDialogsTopicFile)
{
    std::map<std::wstring, std::set<DWORD>> named;  // topics named per file
    for (const DialogHelp& dialog : kDialogs) {
        std::wstring topicFile = dialog.topicFile;
        ASSERT_EQ(topicFile.compare(0, 3, L"::/"), 0);
        std::wstring entry = topicFile.substr(3);
        std::vector<std::string> problems;
        std::map<DWORD, std::string> topics = ParseTopics(ReadHelpFileEntry(entry.c_str()), &problems);
        for (const std::string& problem : problems)
            ADD_FAILURE() << Narrow(entry) << ": " << problem;
        int withHelp = 0;
        for (const DWORD* pair = dialog.helpIds; pair[0] != 0; pair += 2) {
            if (pair[1] == kNoHelp)
                continue;
            ++withHelp;
            named[entry].insert(pair[1]);
            auto topic = topics.find(pair[1]);
            if (topic == topics.end())
                ADD_FAILURE() << dialog.table << ": control " << pair[0] << " names topic " << pair[1]
                              << ", which " << Narrow(entry) << " lacks";
            else
                EXPECT_FALSE(topic->second.empty()) << Narrow(entry) << " topic " << pair[1] << " is empty";
        }
        EXPECT_GT(withHelp, 0) << dialog.table;
    }

    // Nothing in the topic files that no table names (a mistyped number).
    for (const auto& file : named) {
        std::vector<std::string> problems;
        std::map<DWORD, std::string> topics = ParseTopics(ReadHelpFileEntry(file.first.c_str()), &problems);
        for (const auto& topic : topics)
            EXPECT_TRUE(file.second.count(topic.first))
                << Narrow(file.first) << " topic " << topic.first << " belongs to no control";
    }
}

}  // namespace
