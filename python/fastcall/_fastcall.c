/* pagelith._fastcall: IDispatch::Invoke for the argument and result types scripts pass on nearly every
 * call, without ctypes' per-call marshalling. It makes the same VARIANTs as _dispatch._put_arg and reads
 * results as _dispatch._read_value does; anything else goes back to that Python code, which stays the one
 * place that decides what a value means.
 *
 * The layouts are the Windows x86-64 ones of _com.py. What this module builds for arguments is its own and
 * freed after the call; what the server returns is freed through the server's exports, whose addresses
 * Python hands over. */
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <stddef.h>
#include <stdint.h>
#include <string.h>

enum {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_ARRAY = 0x2000,
};
enum { FADF_AUTO = 0x0001, FADF_FIXEDSIZE = 0x0010 };
enum { DISPID_PROPERTYPUT = -3, LOCALE_USER_DEFAULT = 0x0400 };

typedef struct {
    uint16_t vt, reserved[3];
    union {
        int64_t llVal;
        uint64_t ullVal;
        int32_t lVal;
        uint32_t ulVal;
        int16_t iVal;
        uint16_t uiVal;
        int8_t cVal;
        uint8_t bVal;
        float fltVal;
        double dblVal;
        void* ptr;
        void* record[2];
    } u;
} Variant;

typedef struct {
    uint16_t cDims, fFeatures;
    uint32_t cbElements, cLocks;
    void* pvData;
    uint32_t cElements;
    int32_t lLbound;
} SafeArray;

typedef struct {
    Variant* rgvarg;
    int32_t* rgdispidNamedArgs;
    uint32_t cArgs, cNamedArgs;
} DispParams;

typedef struct {
    uint16_t wCode, wReserved;
    void *bstrSource, *bstrDescription, *bstrHelpFile;
    uint32_t dwHelpContext;
    void *pvReserved, *pfnDeferredFillIn;
    int32_t scode;
} ExcepInfo;

_Static_assert(sizeof(Variant) == 24, "VARIANT layout");
_Static_assert(sizeof(SafeArray) == 32 && offsetof(SafeArray, pvData) == 16, "SAFEARRAY layout");
_Static_assert(sizeof(DispParams) == 24 && sizeof(ExcepInfo) == 64, "DISPPARAMS, EXCEPINFO layout");
_Static_assert(offsetof(ExcepInfo, scode) == 56, "EXCEPINFO layout");

typedef int32_t (*InvokeFn)(void* self, int32_t dispid, const void* riid, uint32_t lcid, uint16_t flags,
                            DispParams* params, Variant* result, ExcepInfo* excepinfo, uint32_t* argerr);
typedef int32_t (*VariantClearFn)(Variant*);
typedef int32_t (*SetErrorInfoFn)(uint32_t, void*);

static const unsigned char iid_null[16];
static PyObject* Failure; /* (hr, EXCEPINFO bytes, argerr): Python builds the com_error */
static PyObject* Unread;  /* (VARIANT bytes): a result Python reads and clears itself */

typedef struct {
    PyObject ob_base;
    VariantClearFn variant_clear;
    SetErrorInfoFn set_error_info; /* may be null: the server keeps no error information */
} Caller;

/* Arguments ---------------------------------------------------------------------------------------- */

enum { kInlineArgs = 8 };

typedef struct {
    Variant inline_vars[kInlineArgs];
    void* inline_owned[kInlineArgs];
    Variant* vars;
    void** owned; /* one allocation at most per argument */
    Py_ssize_t count, owned_count;
} Arguments;

static void arguments_free(Arguments* a) {
    for (Py_ssize_t i = 0; i < a->owned_count; ++i) PyMem_RawFree(a->owned[i]);
    if (a->vars != a->inline_vars) PyMem_RawFree(a->vars);
    if (a->owned != a->inline_owned) PyMem_RawFree(a->owned);
}

/* A BSTR in the server's layout: the byte length in the four bytes before UTF-16 text and a terminating
 * NUL, as "utf-16-le" with "surrogatepass" encodes it. */
static void* owned_bstr(Arguments* a, PyObject* text) {
    if (PyUnicode_READY(text) < 0) {
        PyErr_Clear();
        return NULL;
    }
    Py_ssize_t length = PyUnicode_GET_LENGTH(text), units = length;
    int kind = PyUnicode_KIND(text);
    const void* data = PyUnicode_DATA(text);
    if (kind == PyUnicode_4BYTE_KIND) {
        for (Py_ssize_t i = 0; i < length; ++i) units += PyUnicode_READ(kind, data, i) > 0xFFFF;
    }
    if (units > (Py_ssize_t)(UINT32_MAX / 2)) return NULL;
    unsigned char* block = PyMem_RawMalloc(4 + 2 * (size_t)units + 2);
    if (!block) return NULL;
    a->owned[a->owned_count++] = block;
    uint32_t bytes = (uint32_t)(2 * units);
    memcpy(block, &bytes, 4);
    uint16_t* out = (uint16_t*)(void*)(block + 4);
    for (Py_ssize_t i = 0; i < length; ++i) {
        Py_UCS4 c = PyUnicode_READ(kind, data, i);
        if (c > 0xFFFF) {
            c -= 0x10000;
            *out++ = (uint16_t)(0xD800 | (c >> 10));
            *out++ = (uint16_t)(0xDC00 | (c & 0x3FF));
        } else {
            *out++ = (uint16_t)c;
        }
    }
    *out = 0;
    return block + 4;
}

/* A one-dimensional byte array with lower bound 0 holding a copy of the data, as OwnedByteArray makes. */
static void* owned_byte_array(Arguments* a, const void* data, Py_ssize_t size) {
    if ((uint64_t)size > UINT32_MAX) return NULL;
    SafeArray* array = PyMem_RawMalloc(sizeof(SafeArray) + (size_t)(size ? size : 1));
    if (!array) return NULL;
    a->owned[a->owned_count++] = array;
    memset(array, 0, sizeof *array);
    array->cDims = 1;
    array->fFeatures = FADF_FIXEDSIZE | FADF_AUTO;
    array->cbElements = 1;
    array->pvData = array + 1;
    array->cElements = (uint32_t)size;
    if (size)
        memcpy(array->pvData, data, (size_t)size);
    else
        *(unsigned char*)array->pvData = 0;
    return array;
}

/* Fills `var` (zeroed) from a value of one of the types taken here; 0 for any other type, or for a value
 * these rules would not convert the way _put_arg does, which then converts the whole call. */
static int put_arg(Arguments* a, Variant* var, PyObject* value) {
    if (value == Py_None) return 1; /* VT_EMPTY */
    if (PyBool_Check(value)) {
        var->vt = VT_BOOL;
        var->u.iVal = value == Py_True ? -1 : 0;
        return 1;
    }
    if (PyLong_CheckExact(value)) {
        int overflow = 0;
        long long n = PyLong_AsLongLongAndOverflow(value, &overflow);
        if (!overflow && n >= INT32_MIN && n <= INT32_MAX) {
            var->vt = VT_I4;
            var->u.lVal = (int32_t)n;
            return 1;
        }
        double d = PyLong_AsDouble(value);
        if (d == -1.0 && PyErr_Occurred()) {
            PyErr_Clear();
            return 0;
        }
        var->vt = VT_R8;
        var->u.dblVal = d;
        return 1;
    }
    if (PyFloat_CheckExact(value)) {
        var->vt = VT_R8;
        var->u.dblVal = PyFloat_AS_DOUBLE(value);
        return 1;
    }
    if (PyUnicode_CheckExact(value)) {
        void* bstr = owned_bstr(a, value);
        if (!bstr) return 0;
        var->vt = VT_BSTR;
        var->u.ptr = bstr;
        return 1;
    }
    if (PyBytes_CheckExact(value) || PyByteArray_CheckExact(value) || PyMemoryView_Check(value)) {
        Py_buffer view;
        if (PyObject_GetBuffer(value, &view, PyBUF_C_CONTIGUOUS) < 0) {
            PyErr_Clear();
            return 0;
        }
        void* array = owned_byte_array(a, view.buf, view.len);
        PyBuffer_Release(&view);
        if (!array) return 0;
        var->vt = VT_ARRAY | VT_UI1;
        var->u.ptr = array;
        return 1;
    }
    return 0;
}

/* The arguments in DISPPARAMS order, last first, with a property put's value as the first VARIANT. */
static int arguments_make(Arguments* a, PyObject* args, PyObject* put_value) {
    Py_ssize_t count = PyTuple_GET_SIZE(args), named = PyTuple_GET_SIZE(put_value) > 0;
    a->count = count + named;
    a->owned_count = 0;
    a->vars = a->inline_vars;
    a->owned = a->inline_owned;
    if (a->count > kInlineArgs) {
        a->vars = PyMem_RawMalloc(sizeof(Variant) * (size_t)a->count);
        a->owned = PyMem_RawMalloc(sizeof(void*) * (size_t)a->count);
        if (!a->vars || !a->owned) return 0;
    }
    memset(a->vars, 0, sizeof(Variant) * (size_t)a->count);
    Py_ssize_t position = 0;
    if (named && !put_arg(a, &a->vars[position++], PyTuple_GET_ITEM(put_value, 0))) return 0;
    for (Py_ssize_t i = count - 1; i >= 0; --i) {
        if (!put_arg(a, &a->vars[position++], PyTuple_GET_ITEM(args, i))) return 0;
    }
    return 1;
}

/* Results ------------------------------------------------------------------------------------------ */

static PyObject* unread(Variant* var) {
    PyObject* bytes = PyBytes_FromStringAndSize((const char*)var, sizeof *var);
    if (bytes) {
        PyErr_SetObject(Unread, bytes);
        Py_DECREF(bytes);
    }
    return NULL;
}

/* The value of a result, the VARIANT cleared; results of other types go to Python whole (Unread). */
static PyObject* read_value(Caller* caller, Variant* var, int raw) {
    PyObject* value;
    int clear = 0;
    const uint16_t vt = var->vt;
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
        value = Py_NewRef(Py_None);
        break;
    case VT_I4:
    case VT_INT:
    case VT_ERROR:
        value = PyLong_FromLong(var->u.lVal);
        break;
    case VT_I2:
        value = PyLong_FromLong(var->u.iVal);
        break;
    case VT_I1:
        value = PyLong_FromLong(var->u.cVal);
        break;
    case VT_UI1:
        value = PyLong_FromLong(var->u.bVal);
        break;
    case VT_UI2:
        value = PyLong_FromLong(var->u.uiVal);
        break;
    case VT_UI4:
    case VT_UINT:
        value = PyLong_FromUnsignedLong(var->u.ulVal);
        break;
    case VT_I8:
        value = PyLong_FromLongLong(var->u.llVal);
        break;
    case VT_UI8:
        value = PyLong_FromUnsignedLongLong(var->u.ullVal);
        break;
    case VT_R8:
    case VT_DATE:
        value = PyFloat_FromDouble(var->u.dblVal);
        break;
    case VT_R4:
        value = PyFloat_FromDouble(var->u.fltVal);
        break;
    case VT_CY:
        value = PyFloat_FromDouble((double)var->u.llVal / 10000.0);
        break;
    case VT_BOOL:
        value = raw ? PyLong_FromLong(var->u.iVal) : PyBool_FromLong(var->u.iVal != 0);
        break;
    case VT_BSTR: {
        const char* text = var->u.ptr;
        if (!text) {
            value = PyUnicode_New(0, 0);
        } else {
            uint32_t bytes;
            memcpy(&bytes, text - 4, 4);
            int order = -1;
            value = PyUnicode_DecodeUTF16(text, bytes & ~1u, "surrogatepass", &order);
        }
        clear = 1;
        break;
    }
    case VT_ARRAY | VT_UI1: {
        const SafeArray* array = var->u.ptr;
        if (array && (array->cDims != 1 || array->cbElements != 1 || (array->cElements && !array->pvData)))
            return unread(var); /* Python raises the error these deserve */
        value = array ? PyBytes_FromStringAndSize(array->pvData, array->cElements) : PyBytes_FromString("");
        if (value && raw) value = Py_BuildValue("(iN)", array ? array->lLbound : 0, value);
        clear = 1;
        break;
    }
    default:
        return unread(var);
    }
    if (clear) caller->variant_clear(var);
    if (!value) return NULL;
    if (raw) return Py_BuildValue("(iN)", vt, value);
    return value;
}

/* invoke(ptr, dispid, flags, args, put_value, raw, want_result, release) -------------------------- */

static PyObject* caller_invoke(Caller* self, PyObject* const* argv, Py_ssize_t argc) {
    if (argc != 8 || !PyTuple_Check(argv[3]) || !PyTuple_Check(argv[4])) {
        PyErr_SetString(PyExc_TypeError,
                        "invoke(ptr, dispid, flags, args, put_value, raw, want_result, release)");
        return NULL;
    }
    void* object = PyLong_AsVoidPtr(argv[0]);
    long dispid = PyLong_AsLong(argv[1]);
    long flags = PyLong_AsLong(argv[2]);
    int raw = PyObject_IsTrue(argv[5]), want_result = PyObject_IsTrue(argv[6]),
        release = PyObject_IsTrue(argv[7]);
    if (PyErr_Occurred()) return NULL;
    if (!object) {
        PyErr_SetString(PyExc_ValueError, "null interface pointer");
        return NULL;
    }

    Arguments a;
    if (!arguments_make(&a, argv[3], argv[4])) {
        arguments_free(&a);
        Py_RETURN_NOTIMPLEMENTED;
    }
    int32_t named_put = DISPID_PROPERTYPUT;
    DispParams params = {a.count ? a.vars : NULL, NULL, (uint32_t)a.count, 0};
    if (PyTuple_GET_SIZE(argv[4]) > 0) {
        params.rgdispidNamedArgs = &named_put;
        params.cNamedArgs = 1;
    }
    Variant result;
    memset(&result, 0, sizeof result);
    ExcepInfo info;
    memset(&info, 0, sizeof info);
    uint32_t argerr = 0;
    InvokeFn invoke = (*(InvokeFn**)object)[6];
    /* Only long calls (reading files, writing the document) let other threads run: handing the lock
       over costs a threaded server two thread switches, more than a short call takes. */
    PyThreadState* saved = release ? PyEval_SaveThread() : NULL;
    if (self->set_error_info) self->set_error_info(0, NULL);
    const int32_t hr = invoke(object, (int32_t)dispid, iid_null, LOCALE_USER_DEFAULT, (uint16_t)flags,
                              &params, want_result ? &result : NULL, &info, &argerr);
    if (saved) PyEval_RestoreThread(saved);
    arguments_free(&a);

    if (hr < 0) {
        if (want_result) self->variant_clear(&result);
        PyObject* details =
            Py_BuildValue("(iy#k)", hr, (const char*)&info, (Py_ssize_t)sizeof info, (unsigned long)argerr);
        if (details) {
            PyErr_SetObject(Failure, details);
            Py_DECREF(details);
        }
        return NULL;
    }
    if (!want_result) Py_RETURN_NONE;
    return read_value(self, &result, raw);
}

/* The type ----------------------------------------------------------------------------------------- */

static int caller_init(Caller* self, PyObject* args, PyObject* kwargs) {
    PyObject *clear, *set_error_info;
    static char* names[] = {"variant_clear", "set_error_info", NULL};
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "OO", names, &clear, &set_error_info)) return -1;
    /* Through memcpy: ISO C has no conversion from an object pointer to a function pointer. */
    void* address = PyLong_AsVoidPtr(clear);
    memcpy(&self->variant_clear, &address, sizeof address);
    address = set_error_info == Py_None ? NULL : PyLong_AsVoidPtr(set_error_info);
    memcpy(&self->set_error_info, &address, sizeof address);
    if (PyErr_Occurred()) return -1;
    if (!self->variant_clear) {
        PyErr_SetString(PyExc_ValueError, "the server's VariantClear is needed");
        return -1;
    }
    return 0;
}

static PyMethodDef caller_methods[] = {
    {"invoke", (PyCFunction)(void (*)(void))caller_invoke, METH_FASTCALL,
     "invoke(ptr, dispid, flags, args, put_value, raw, want_result): the result's value, NotImplemented "
     "when an argument is of a type left to Python; raises Failure or Unread."},
    {NULL, NULL, 0, NULL},
};

static PyTypeObject CallerType = {
    PyVarObject_HEAD_INIT(NULL, 0).tp_name = "pagelith._fastcall.Caller",
    .tp_basicsize = sizeof(Caller),
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_doc = "Caller(variant_clear, set_error_info): calls through IDispatch::Invoke with the server's "
              "exports at those addresses.",
    .tp_methods = caller_methods,
    .tp_init = (initproc)caller_init,
    .tp_new = PyType_GenericNew,
};

static struct PyModuleDef fastcall_module = {
    PyModuleDef_HEAD_INIT, .m_name = "pagelith._fastcall", .m_size = -1,
    .m_doc = "IDispatch::Invoke for the common argument and result types."};

PyMODINIT_FUNC PyInit__fastcall(void) {
    if (PyType_Ready(&CallerType) < 0) return NULL;
    PyObject* module = PyModule_Create(&fastcall_module);
    if (!module) return NULL;
    Failure = PyErr_NewException("pagelith._fastcall.Failure", NULL, NULL);
    Unread = PyErr_NewException("pagelith._fastcall.Unread", NULL, NULL);
    if (!Failure || !Unread || PyModule_AddObjectRef(module, "Failure", Failure) < 0 ||
        PyModule_AddObjectRef(module, "Unread", Unread) < 0 ||
        PyModule_AddObjectRef(module, "Caller", (PyObject*)&CallerType) < 0) {
        Py_DECREF(module);
        return NULL;
    }
    return module;
}
