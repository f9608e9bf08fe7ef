#include "fake_dispatch.h"
#include "platform/bstr_util.h"
#include "platform/object_context.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

IErrorInfo* MakeError(const char16_t* description) {
    ICreateErrorInfo* create = nullptr;
    EXPECT_EQ(CreateErrorInfo(&create), S_OK);
    create->SetGUID(IID_IDispatch);
    create->SetSource(const_cast<LPOLESTR>(u"Pagelith.Test"));
    create->SetDescription(const_cast<LPOLESTR>(description));
    create->SetHelpContext(7);
    IErrorInfo* info = nullptr;
    EXPECT_EQ(pagelith::QueryInterfaceAs(create, &info), S_OK);
    create->Release();
    return info;
}

std::u16string DescriptionOf(IErrorInfo* info) {
    BSTR text = nullptr;
    EXPECT_EQ(info->GetDescription(&text), S_OK);
    pagelith::UniqueBstr owned(text);
    return pagelith::BstrToU16(text);
}

TEST(ErrorInfo, RoundTripHandsOverAndClears) {
    IErrorInfo* info = MakeError(u"File not found");
    ASSERT_EQ(SetErrorInfo(0, info), S_OK);
    info->Release(); // the thread keeps its own reference

    IErrorInfo* got = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &got), S_OK);
    ASSERT_EQ(got, info);
    EXPECT_EQ(DescriptionOf(got), u"File not found");
    GUID guid;
    got->GetGUID(&guid);
    EXPECT_TRUE(guid == IID_IDispatch);
    DWORD context = 0;
    got->GetHelpContext(&context);
    EXPECT_EQ(context, 7u);
    BSTR helpFile = nullptr;
    ASSERT_EQ(got->GetHelpFile(&helpFile), S_OK);
    EXPECT_EQ(SysStringLen(helpFile), 0u);
    SysFreeString(helpFile);
    ICreateErrorInfo* back = nullptr;
    EXPECT_EQ(pagelith::QueryInterfaceAs(got, &back), S_OK);
    back->Release();
    ISupportErrorInfo* none = nullptr;
    EXPECT_EQ(pagelith::QueryInterfaceAs(got, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    got->Release(); // last reference: ASan reports a leak otherwise

    EXPECT_EQ(GetErrorInfo(0, &got), S_FALSE);
    EXPECT_EQ(got, nullptr);
}

TEST(ErrorInfo, SettingAgainReplacesAndNullClears) {
    IErrorInfo* first = MakeError(u"first");
    IErrorInfo* second = MakeError(u"second");
    SetErrorInfo(0, first);
    SetErrorInfo(0, second);
    first->Release();
    second->Release();
    IErrorInfo* got = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &got), S_OK);
    EXPECT_EQ(DescriptionOf(got), u"second");
    got->Release();
    IErrorInfo* dropped = MakeError(u"dropped");
    SetErrorInfo(0, dropped);
    dropped->Release();
    SetErrorInfo(0, nullptr); // releases the thread's reference
    EXPECT_EQ(GetErrorInfo(0, &got), S_FALSE);
}

TEST(ErrorInfo, EachThreadHasItsOwn) {
    IErrorInfo* mine = MakeError(u"main");
    SetErrorInfo(0, mine);
    mine->Release();
    std::u16string seenInThread = u"unset";
    bool threadHadNone = false;
    std::thread worker([&] {
        IErrorInfo* got = nullptr;
        threadHadNone = GetErrorInfo(0, &got) == S_FALSE;
        IErrorInfo* theirs = MakeError(u"worker");
        SetErrorInfo(0, theirs);
        theirs->Release();
        ASSERT_EQ(GetErrorInfo(0, &got), S_OK);
        seenInThread = DescriptionOf(got);
        got->Release();
        IErrorInfo* left = MakeError(u"left at exit");
        SetErrorInfo(0, left); // the thread's reference goes when the thread ends
        left->Release();
    });
    worker.join();
    EXPECT_TRUE(threadHadNone);
    EXPECT_EQ(seenInThread, u"worker");
    IErrorInfo* got = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &got), S_OK);
    EXPECT_EQ(DescriptionOf(got), u"main");
    got->Release();
}

TEST(ObjectContext, SetGetClearBalancesReferences) {
    pagelith::test::FakeDispatch response;
    IDispatch* got = reinterpret_cast<IDispatch*>(1);
    EXPECT_EQ(PagelithGetContextResponse(&got), CONTEXT_E_NOCONTEXT);
    EXPECT_EQ(got, nullptr);
    EXPECT_EQ(PagelithGetContextResponse(nullptr), E_POINTER);

    ASSERT_EQ(PagelithSetObjectContext(&response), S_OK);
    EXPECT_EQ(response.refs, 2u);
    ASSERT_EQ(PagelithGetContextResponse(&got), S_OK);
    EXPECT_EQ(got, &response);
    EXPECT_EQ(response.refs, 3u);
    got->Release();

    std::thread other([&] {
        IDispatch* none = nullptr;
        EXPECT_EQ(PagelithGetContextResponse(&none), CONTEXT_E_NOCONTEXT);
        PagelithSetObjectContext(&response); // released when the thread ends
    });
    other.join();
    EXPECT_EQ(response.refs, 2u);

    ASSERT_EQ(PagelithSetObjectContext(&response), S_OK); // the same object again
    EXPECT_EQ(response.refs, 2u);
    ASSERT_EQ(PagelithSetObjectContext(nullptr), S_OK);
    EXPECT_EQ(response.refs, 1u);
    EXPECT_EQ(PagelithGetContextResponse(&got), CONTEXT_E_NOCONTEXT);
}

} // namespace
