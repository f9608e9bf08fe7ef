// One object called from two threads at once, as a host that registers "Both" may do: calls on one
// object are serialized (through IDispatch and the vtable alike), calls on different objects are not.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "automation/guids.h"
#include "automation/ipdfsvrdoc.h"
#include "automation/member_table.h"
#include "automation/server_exports.h"
#include "platform/com.h"
#include "platform/object_context.h"
#include "script_host.h"

namespace pagelith::test {
namespace {

namespace fs = std::filesystem;

// A complete PDF file came back.
void ExpectWholePdf(const TCall& call) {
    ASSERT_EQ(call.Hr, S_OK) << std::string(call.Description.begin(), call.Description.end());
    ASSERT_EQ(call.Value.vt(), VT_ARRAY | VT_UI1);
    SAFEARRAY* array = (*call.Value).parray;
    const ULONG size = array->rgsabound[0].cElements;
    ASSERT_GT(size, 16u);
    const auto* bytes = static_cast<const char*>(array->pvData);
    EXPECT_EQ(std::string(bytes, 8), "%PDF-1.2");
    EXPECT_EQ(std::string(bytes + size - 6, 6), "%%EOF\r");
}

IPDFSvrDoc* Vtable(const TScriptObject& object) {
    IPDFSvrDoc* doc = nullptr;
    object.Dispatch()->QueryInterface(IID_IPDFSvrDoc, reinterpret_cast<void**>(&doc));
    return doc;
}

constexpr int kRounds = 150;

// The mix that freed the document under a running save: clear and refill on one thread, stream on
// the other, once through IDispatch and once through the vtable.
TEST(SharedObject, ClearFillAndStreamFromTwoThreads) {
    TScriptObject doc;
    ASSERT_NE(doc.Dispatch(), nullptr);
    IPDFSvrDoc* direct = Vtable(doc);
    ASSERT_NE(direct, nullptr);
    std::atomic<bool> done{false};
    std::thread filler([&] {
        for (int i = 0; i < kRounds; ++i) {
            doc.Call(u"Clear");
            for (int p = 0; p < 3; ++p) doc.Call(u"AddPage", {I4(0)});
            direct->CreateText(nullptr);
            const UniqueBstr line(U16ToBstr(u"Line of text (" + std::u16string(40, u'x') + u")\r\nnext"));
            direct->WriteText(line.get());
            doc.Call(u"ApplyResource", {I4(1), I4(1)});
            LONG graphic = 0;
            direct->CreateGraphic(&graphic);
            doc.Call(u"Rectangle", {R8(1), R8(2), R8(30), R8(40)});
            doc.Call(u"ApplyResource", {I4(2), I4(graphic)});
        }
        done = true;
    });
    int streamed = 0;
    while (!done || streamed < 10) {
        ExpectWholePdf(doc.Call(u"StreamData"));
        VARIANT pdf;
        VariantInit(&pdf);
        ASSERT_EQ(direct->StreamData(&pdf), S_OK);
        VariantClear(&pdf);
        ++streamed;
    }
    filler.join();
    direct->Release();
}

// Plausible arguments for a parameter of the member table, in declared order.
TVariant Argument(const TMemberInfo& member, const TParamInfo& param, const std::u16string& missing) {
    switch (param.Type) {
    case TValueType::Long:
        return I4(member.DispId == 0xD6 ? 0 : 1); // no bitmap handle
    case TValueType::Double:
        return R8(12.5);
    case TValueType::String:
        return param.Name == "FileName" || param.Name == "FontName" ? Str(missing) : Str(u"text (1)\r\n2");
    case TValueType::Boolean:
        return Bool(VARIANT_TRUE);
    case TValueType::Color:
        return I4(0x00FF8040);
    default:
        return TVariant();
    }
}

// Every member, gets and puts alike, from two threads on one object; the object still streams.
TEST(SharedObject, EveryMemberFromTwoThreads) {
    const fs::path folder = fs::path(PAGELITH_TEST_OUTPUT_DIR) / "shared_object";
    fs::create_directories(folder);
    TScriptObject doc;
    ASSERT_NE(doc.Dispatch(), nullptr);
    const auto run = [&](int seed) {
        const std::u16string missing = (folder / ("missing" + std::to_string(seed))).u16string();
        for (int round = 0; round < 12; ++round) {
            for (const TMemberInfo& member : kMembers) {
                if (member.DispId == 0xCB) { // SaveToFile: a file of this thread's own
                    doc.Call(u"SaveToFile",
                             {Str((folder / ("saved" + std::to_string(seed) + ".pdf")).u16string())});
                    continue;
                }
                std::vector<TVariant> args;
                for (const TParamInfo& param : member.ParamList())
                    args.push_back(Argument(member, param, missing));
                doc.InvokeId(member.DispId, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
                if (member.HasPut()) {
                    args.push_back(member.Result == TValueType::Double ? R8(20) : I4(round % 3 + 1));
                    std::vector<TVariant> reversed(args.rbegin(), args.rend());
                    std::vector<VARIANT> raw;
                    for (TVariant& v : reversed) raw.push_back(*v);
                    DISPID named = DISPID_PROPERTYPUT;
                    DISPPARAMS params{raw.data(), &named, static_cast<UINT>(raw.size()), 1};
                    doc.Dispatch()->Invoke(member.DispId, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr,
                                           nullptr, nullptr);
                }
                if (member.DispId == 0xD4) doc.Call(u"AddPage", {I4(0)}); // Clear leaves something to save
            }
        }
    };
    std::thread other(run, 2);
    run(1);
    other.join();
    doc.Call(u"AddPage", {I4(0)});
    ExpectWholePdf(doc.Call(u"StreamData"));
    for (int seed : {1, 2}) {
        const fs::path saved = folder / ("saved" + std::to_string(seed) + ".pdf");
        if (fs::exists(saved)) {
            EXPECT_GT(fs::file_size(saved), 0u);
        }
    }
}

// A response object that runs a hook on its first call and accepts everything.
class THookResponse final : public IDispatch {
public:
    explicit THookResponse(std::function<void()> hook) : hook_(std::move(hook)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID* ids) override {
        ids[0] = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        if (hook_) std::exchange(hook_, nullptr)();
        return S_OK;
    }

private:
    std::function<void()> hook_;
};

// While one object is inside a call (here: waiting in its response), another object answers calls
// from another thread; the same object's own calls wait for it.
TEST(SharedObject, OtherObjectsAreNotHeldUp) {
    TScriptObject busy, other;
    busy.Call(u"AddPage", {I4(0)});
    std::atomic<bool> sameObjectAnswered{false};
    bool otherAnswered = false;
    std::thread sameObject;
    THookResponse response([&] {
        // The busy object holds its lock here. Another object's calls go through; a call on the
        // busy object from another thread must wait until BinaryWrite is over.
        sameObject = std::thread([&] {
            busy.Call(u"AddPage", {I4(0)});
            sameObjectAnswered = true;
        });
        auto result = std::async(std::launch::async, [&] {
            other.Call(u"AddPage", {I4(0)});
            return other.Get(u"PageWidth", {I4(1)}).Double();
        });
        // A generous guard only, so that a regression fails instead of hanging the run.
        ASSERT_EQ(result.wait_for(std::chrono::seconds(60)), std::future_status::ready);
        otherAnswered = result.get() > 0;
        EXPECT_FALSE(sameObjectAnswered.load());
    });
    ASSERT_EQ(PagelithSetObjectContext(&response), S_OK);
    EXPECT_EQ(busy.Call(u"BinaryWrite").Hr, S_OK);
    PagelithSetObjectContext(nullptr);
    EXPECT_TRUE(otherAnswered);
    sameObject.join();
    EXPECT_TRUE(sameObjectAnswered);
    EXPECT_EQ(busy.Get(u"PageWidth", {I4(2)}).Double(), busy.Get(u"PageWidth", {I4(1)}).Double());
}

} // namespace
} // namespace pagelith::test
