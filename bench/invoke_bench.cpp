// IDispatch::Invoke on the automation object: the per-call cost a script pays.
#include <benchmark/benchmark.h>

#include "automation/guids.h"
#include "automation/server_exports.h"
#include "platform/com.h"

namespace {

IDispatch* NewObject() {
    IClassFactory* factory = nullptr;
    DllGetClassObject(pagelith::CLSID_PDFSvrDoc, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    IDispatch* dispatch = nullptr;
    factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    factory->Release();
    return dispatch;
}

void BM_PropertyPutLong(benchmark::State& state) {
    IDispatch* doc = NewObject();
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = 1;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    for (auto _ : state) {
        const HRESULT hr =
            doc->Invoke(0xE7, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
        benchmark::DoNotOptimize(hr);
    }
    doc->Release();
}
BENCHMARK(BM_PropertyPutLong);

void BM_PropertyGetLong(benchmark::State& state) {
    IDispatch* doc = NewObject();
    DISPPARAMS params{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    for (auto _ : state) {
        const HRESULT hr = doc->Invoke(0xE7, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                                       &result, nullptr, nullptr);
        benchmark::DoNotOptimize(hr);
        benchmark::DoNotOptimize(result.lVal);
    }
    doc->Release();
}
BENCHMARK(BM_PropertyGetLong);

// Locate(1, 1, X, Y): four arguments, two of them doubles, on an existing placement.
void BM_MethodLocate(benchmark::State& state) {
    IDispatch* doc = NewObject();
    VARIANT args[4];
    for (VARIANT& v : args) VariantInit(&v);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT page = args[0];
    page.vt = VT_I4;
    page.lVal = 0;
    DISPPARAMS one{&page, nullptr, 1, 0};
    doc->Invoke(0xC9, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr);  // AddPage 0
    doc->Invoke(0xD2, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr); // CreateText
    args[3].vt = VT_I4, args[3].lVal = 1;
    args[2].vt = VT_I4, args[2].lVal = 1;
    DISPPARAMS apply{&args[2], nullptr, 2, 0};
    doc->Invoke(0xCC, IID_NULL, 0, DISPATCH_METHOD, &apply, nullptr, nullptr, nullptr); // ApplyResource 1, 1
    args[1].vt = VT_R8, args[1].dblVal = 10.5;
    args[0].vt = VT_R8, args[0].dblVal = 20.25;
    DISPPARAMS params{args, nullptr, 4, 0};
    for (auto _ : state) {
        const HRESULT hr =
            doc->Invoke(0xCE, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        benchmark::DoNotOptimize(hr);
    }
    doc->Release();
}
BENCHMARK(BM_MethodLocate);

// A VBScript-style call: small integers arrive as VT_I2 and need widening.
void BM_MethodAddPageThenClear(benchmark::State& state) {
    IDispatch* doc = NewObject();
    VARIANT page;
    VariantInit(&page);
    page.vt = VT_I2;
    page.iVal = 0;
    DISPPARAMS params{&page, nullptr, 1, 0};
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    std::size_t n = 0;
    for (auto _ : state) {
        doc->Invoke(0xC9, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        if (++n % 1024 == 0)
            doc->Invoke(0xD5, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
    }
    doc->Release();
}
BENCHMARK(BM_MethodAddPageThenClear);

void BM_GetIDsOfNames(benchmark::State& state) {
    IDispatch* doc = NewObject();
    OLECHAR name[] = OLESTR("appendtext");
    LPOLESTR names[] = {name};
    DISPID id = 0;
    for (auto _ : state) {
        doc->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
        benchmark::DoNotOptimize(id);
    }
    doc->Release();
}
BENCHMARK(BM_GetIDsOfNames);

} // namespace
