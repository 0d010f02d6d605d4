#include "platform/win32/com/DispatchObject.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/Error.h"
#include "platform/win32/com/ComApartment.h"
#include "platform/win32/com/ComString.h"
#include "platform/win32/com/ComVariant.h"
#include "platform/win32/com/DispatchIdCache.h"

namespace dwl::win32::com {
namespace {

using Microsoft::WRL::ComPtr;

template <typename Call>
Error Failure(Call&& call) {
  try {
    call();
  } catch (const Error& failure) {
    return failure;
  }
  ADD_FAILURE() << "no dwl::Error";
  return Error(0, "", "");
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// IUnknown for the test's own objects, with the count in sight. The first
// reference is the ComPtr's that makes one (mingw-w64's ComPtr::Attach adds
// a reference of its own, unlike Microsoft's).
class TestDispatch : public IDispatch {
 public:
  virtual ~TestDispatch() = default;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch)) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  ULONG References() const { return references_; }

  int lookups = 0;

 private:
  ULONG references_ = 0;
};

// An object without type information: Double(ByRef n) doubles n in place,
// Join(args...) joins their texts, Fail and FailLater raise exceptions (the
// second through deferred fill-in), Value is a property.
class TestObject : public TestDispatch {
 public:
  static ComPtr<TestObject> Make() {
    return ComPtr<TestObject>(new TestObject);
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    ++lookups;
    static const std::vector<std::wstring> members = {L"Double", L"Join", L"Fail", L"FailLater", L"Value"};
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      for (std::size_t m = 0; m < members.size(); ++m) {
        if (members[m] == names[i]) ids[i] = static_cast<DISPID>(m + 1);
      }
      if (ids[i] == DISPID_UNKNOWN) result = DISP_E_UNKNOWNNAME;
    }
    return result;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT*) override {
    lastFlags = flags;
    switch (id) {
      case 1: return Double(*params, result);
      case 2: return Join(*params, result);
      case 3:
        exception->scode = E_FAIL;
        exception->bstrSource = ComString("TestObject").Release();
        exception->bstrDescription = ComString("Nothing to do here").Release();
        return DISP_E_EXCEPTION;
      case 4: exception->pfnDeferredFillIn = &FillIn; return DISP_E_EXCEPTION;
      case 5: return Value(flags, *params, result);
      default: return DISP_E_MEMBERNOTFOUND;
    }
  }

  WORD lastFlags = 0;
  VARTYPE lastArgumentType = VT_EMPTY;

 private:
  HRESULT Double(DISPPARAMS& params, VARIANT* result) {
    if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
    VARIANTARG& argument = params.rgvarg[0];
    lastArgumentType = argument.vt;
    const bool byRef = argument.vt == (VT_BYREF | VT_VARIANT);
    ComVariant number;
    const HRESULT converted = VariantChangeType(number.Receive(), byRef ? argument.pvarVal : &argument, 0, VT_I4);
    if (FAILED(converted)) return converted;
    const ComVariant doubled(number.Get()->lVal * 2);
    if (byRef) VariantCopy(argument.pvarVal, const_cast<VARIANT*>(doubled.Get()));
    return result ? VariantCopy(result, const_cast<VARIANT*>(doubled.Get())) : S_OK;
  }
  HRESULT Join(DISPPARAMS& params, VARIANT* result) {
    std::string joined;
    for (UINT i = params.cArgs; i-- > 0;) {
      ComVariant argument;
      VariantCopy(argument.Receive(), &params.rgvarg[i]);
      joined += (i + 1 == params.cArgs ? "" : ",") + argument.ToText();
    }
    *result = ComVariant(joined).Release();
    return S_OK;
  }
  HRESULT Value(WORD flags, DISPPARAMS& params, VARIANT* result) {
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
      if (params.cArgs != 1 || params.cNamedArgs != 1 || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
        return DISP_E_PARAMNOTOPTIONAL;
      }
      return VariantCopy(value_.Receive(), &params.rgvarg[0]);
    }
    if (params.cArgs != 0) return DISP_E_BADPARAMCOUNT;
    return VariantCopy(result, const_cast<VARIANT*>(value_.Get()));
  }
  static HRESULT STDMETHODCALLTYPE FillIn(EXCEPINFO* exception) {
    exception->wCode = 1234;
    exception->bstrSource = ComString("TestObject later").Release();
    exception->bstrDescription = ComString("Filled in when asked").Release();
    return S_OK;
  }

  ComVariant value_;
};

// Another object's face, counting the names asked of it.
class CountingWrapper : public TestDispatch {
 public:
  static ComPtr<CountingWrapper> Around(ComPtr<IDispatch> inner) {
    return ComPtr<CountingWrapper>(new CountingWrapper(std::move(inner)));
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return inner_->GetTypeInfoCount(count); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** type) override {
    return inner_->GetTypeInfo(index, locale, type);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override {
    ++lookups;
    return inner_->GetIDsOfNames(iid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* badArgument) override {
    return inner_->Invoke(id, iid, locale, flags, params, result, exception, badArgument);
  }

 private:
  explicit CountingWrapper(ComPtr<IDispatch> inner) : inner_(std::move(inner)) {}
  ComPtr<IDispatch> inner_;
};

class ComTest : public ::testing::Test {
 protected:
  ComApartment apartment;
};

TEST_F(ComTest, VariantsHoldAndConvertTheHostsValues) {
  EXPECT_EQ(ComVariant("Grüße €").Type(), VT_BSTR);
  EXPECT_EQ(ComVariant("Grüße €").ToText(), "Grüße €");
  const std::string withNul("a\0b", 3);
  EXPECT_EQ(ComVariant(withNul).ToText(), withNul) << "a BSTR keeps its length";
  EXPECT_EQ(ComVariant(-17).ToText(), "-17");
  EXPECT_EQ(ComVariant("42").ToInt32(), 42);
  EXPECT_EQ(ComVariant(2.5).ToText(), "2.5");
  EXPECT_DOUBLE_EQ(ComVariant("2.5").ToDouble(), 2.5);
  EXPECT_EQ(ComVariant(2.5).ToInt32(), 2) << "rounded to even, as the runtime does";

  const ComVariant yes(true);
  EXPECT_EQ(yes.Type(), VT_BOOL);
  EXPECT_EQ(yes.Get()->boolVal, VARIANT_TRUE);
  EXPECT_EQ(yes.ToText(), "True");
  EXPECT_EQ(yes.ToInt32(), -1);
  EXPECT_FALSE(ComVariant("False").ToBool());
  EXPECT_TRUE(ComVariant(7).ToBool());

  const ComVariant empty;
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(empty.ToText(), "");
  EXPECT_EQ(empty.ToInt32(), 0);
  EXPECT_FALSE(empty.ToBool());
  EXPECT_EQ(empty.ToObject(), nullptr);
  EXPECT_EQ(ComVariant(nullptr).Type(), VT_DISPATCH);
  EXPECT_EQ(ComVariant(nullptr).ToObject(), nullptr);

  EXPECT_EQ(Failure([] { ComVariant("abc").ToInt32(); }).Number(), errc::kTypeMismatch);
  EXPECT_EQ(Failure([] { ComVariant("maybe").ToBool(); }).Number(), errc::kTypeMismatch);
  EXPECT_EQ(Failure([] { ComVariant(3e10).ToInt32(); }).Number(), errc::kOverflow);
  EXPECT_EQ(Failure([] { ComVariant(1).ToObject(); }).Number(), errc::kTypeMismatch);
  EXPECT_EQ(Failure([] { ComVariant("x").ToArray(); }).Number(), errc::kTypeMismatch);
}

TEST_F(ComTest, VariantsHoldOneReferenceEach) {
  const ComPtr<TestObject> object = TestObject::Make();
  {
    ComVariant held(object);
    EXPECT_EQ(object->References(), 2u);
    ComVariant moved(std::move(held));
    const ComVariant copy = moved.Copy();
    EXPECT_EQ(object->References(), 3u);
    EXPECT_EQ(copy.ToObject().Get(), static_cast<IDispatch*>(object.Get()));
    VARIANT given = moved.Release();
    EXPECT_TRUE(moved.IsEmpty());
    VariantClear(&given);
    EXPECT_EQ(object->References(), 2u);
  }
  EXPECT_EQ(object->References(), 1u);
}

class DictionaryTest : public ComTest {
 protected:
  DispatchObject dictionary = DispatchObject::Create("Scripting.Dictionary");
};

TEST_F(DictionaryTest, KeepsTextNumberBooleanAndObjectValues) {
  DispatchObject other = DispatchObject::Create("Scripting.Dictionary");
  dictionary.Call("Add", "text", "Grüße");
  dictionary.Call("Add", 1, 2.5);
  dictionary.Call("Add", 2.5, true);
  dictionary.Call("Add", "object", other.Interface());
  dictionary.Call("Add", other.Interface(), "by object");
  EXPECT_EQ(dictionary.Get("Count").ToInt32(), 5);

  EXPECT_EQ(dictionary.Get("Item", "text").ToText(), "Grüße");
  EXPECT_DOUBLE_EQ(dictionary.Get("Item", 1).ToDouble(), 2.5);
  const ComVariant flag = dictionary.Get("Item", 2.5);
  EXPECT_EQ(flag.Type(), VT_BOOL);
  EXPECT_TRUE(flag.ToBool());
  EXPECT_EQ(dictionary.Get("Item", "object").ToObject().Get(), other.Interface().Get());
  EXPECT_EQ(dictionary.Get("Item", other.Interface()).ToText(), "by object");

  const ComVariant key("text");  // lent to the call, not copied
  EXPECT_TRUE(dictionary.Call("Exists", key).ToBool());
  EXPECT_EQ(key.ToText(), "text");
  EXPECT_TRUE(dictionary.Call("Exists", 1.0).ToBool()) << "numbers match by value";
  EXPECT_FALSE(dictionary.Call("Exists", "1").ToBool()) << "text is not a number";
  EXPECT_FALSE(dictionary.Call("Exists", "TEXT").ToBool()) << "keys compare exactly by default";
  EXPECT_TRUE(dictionary.Call("Exists", other.Interface()).ToBool());
}

TEST_F(DictionaryTest, PutsPropertiesAndItems) {
  dictionary.Put("CompareMode", 1);  // by text, allowed while empty
  EXPECT_EQ(dictionary.Get("CompareMode").ToInt32(), 1);
  dictionary.Call("Add", "Key", "first");
  EXPECT_TRUE(dictionary.Call("Exists", "KEY").ToBool());

  dictionary.Put("Item", "key", 5);
  EXPECT_EQ(dictionary.Get("Item", "Key").ToInt32(), 5);
  dictionary.Put("Item", "new", "added");
  EXPECT_EQ(dictionary.Get("Count").ToInt32(), 2);

  DispatchObject other = DispatchObject::Create("Scripting.Dictionary");
  dictionary.Put("Item", "object", other.Interface());
  EXPECT_EQ(dictionary.Get("Item", "object").ToObject().Get(), other.Interface().Get());
}

TEST_F(DictionaryTest, KeysComeAsAListInTheOrderAdded) {
  dictionary.Call("Add", "b", 1);
  dictionary.Call("Add", 7, 2);
  dictionary.Call("Add", "a", 3);
  const ComVariant keys = dictionary.Call("Keys");
  EXPECT_EQ(keys.Type(), VT_ARRAY | VT_VARIANT);
  const std::vector<ComVariant> list = keys.ToArray();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].ToText(), "b");
  EXPECT_EQ(list[1].Type(), VT_I4);
  EXPECT_EQ(list[1].ToInt32(), 7);
  EXPECT_EQ(list[2].ToText(), "a");

  EXPECT_TRUE(DispatchObject::Create("Scripting.Dictionary").Call("Keys").ToArray().empty());
}

TEST_F(DictionaryTest, AMemberTheObjectLacksIsError438NamingIt) {
  Error failure = Failure([&] { dictionary.Get("Colour"); });
  EXPECT_EQ(failure.Number(), errc::kMemberNotSupported);
  EXPECT_EQ(failure.Description(), "Object doesn't support this property or method: Colour");
  EXPECT_EQ(failure.Source(), "DispatchObject.Colour");

  // There, but not as asked: Keys is a method, not a property to set.
  failure = Failure([&] { dictionary.Put("Keys", 1); });
  EXPECT_EQ(failure.Number(), errc::kMemberNotSupported);
  EXPECT_TRUE(Contains(failure.Description(), "Keys")) << failure.Description();

  DispatchObject nothing;
  EXPECT_EQ(Failure([&] { nothing.Get("Count"); }).Number(), errc::kInvalidCall);
}

TEST_F(DictionaryTest, AnExistingKeyIsTheObjectsException) {
  dictionary.Call("Add", "key", 1);
  const Error failure = Failure([&] { dictionary.Call("Add", "key", 2); });
  EXPECT_EQ(failure.Number(), 457) << "the runtime's number for a key that exists";
  EXPECT_FALSE(failure.Description().empty());
  EXPECT_FALSE(failure.Source().empty());
  EXPECT_EQ(dictionary.Get("Item", "key").ToInt32(), 1) << "the first value stays";
}

TEST_F(DictionaryTest, WrongArgumentsAreErrorsNamingTheMember) {
  Error failure = Failure([&] { dictionary.Call("Add", "a key without a value"); });
  EXPECT_EQ(failure.Number(), errc::kInvalidCall);
  EXPECT_TRUE(Contains(failure.Description(), "Add")) << failure.Description();

  failure = Failure([&] { dictionary.Put("CompareMode", "sideways"); });
  EXPECT_EQ(failure.Number(), errc::kTypeMismatch);
  EXPECT_TRUE(Contains(failure.Description(), "CompareMode")) << failure.Description();

  failure = Failure([] { DispatchObject::Create("Dropwell.NoSuchClass"); });
  EXPECT_EQ(failure.Number(), errc::kUnknown);
  EXPECT_TRUE(Contains(failure.Description(), "Dropwell.NoSuchClass")) << failure.Description();
}

TEST_F(ComTest, AByReferenceArgumentIsWrittenBack) {
  const ComPtr<TestObject> own = TestObject::Make();
  DispatchObject object(own);
  ComVariant number("21");
  EXPECT_EQ(object.Call("Double", ByRef(number)).ToInt32(), 42);
  EXPECT_EQ(own->lastArgumentType, VT_BYREF | VT_VARIANT);
  EXPECT_EQ(number.Type(), VT_I4);
  EXPECT_EQ(number.ToInt32(), 42);

  const ComVariant kept(5);
  EXPECT_EQ(object.Call("Double", kept).ToInt32(), 10);
  EXPECT_EQ(own->lastArgumentType, VT_I4);
  EXPECT_EQ(kept.ToInt32(), 5);
}

TEST_F(ComTest, ArgumentsArriveInTheCallersOrderAndPutsNameTheirValue) {
  const ComPtr<TestObject> own = TestObject::Make();
  DispatchObject object(own);
  EXPECT_EQ(object.Call("Join", "a", 2, true, 2.5).ToText(), "a,2,True,2.5");
  EXPECT_EQ(object.Call("Join").ToText(), "");

  object.Put("Value", "text");
  EXPECT_EQ(own->lastFlags, DISPATCH_PROPERTYPUT);
  EXPECT_EQ(object.Get("Value").ToText(), "text");
  EXPECT_EQ(own->lastFlags, DISPATCH_PROPERTYGET);
  const ComPtr<TestObject> other = TestObject::Make();
  object.PutRef("Value", other);
  EXPECT_EQ(own->lastFlags, DISPATCH_PROPERTYPUTREF);
  EXPECT_EQ(object.Get("Value").ToObject().Get(), static_cast<IDispatch*>(other.Get()));
}

TEST_F(ComTest, ExceptionsKeepTheObjectsSourceAndDescription) {
  DispatchObject object(TestObject::Make());
  Error failure = Failure([&] { object.Call("Fail"); });
  EXPECT_EQ(failure.Number(), errc::kUnknown);
  EXPECT_EQ(failure.Source(), "TestObject");
  EXPECT_EQ(failure.Description(), "Nothing to do here");

  failure = Failure([&] { object.Call("FailLater"); });
  EXPECT_EQ(failure.Number(), 1234);
  EXPECT_EQ(failure.Source(), "TestObject later");
  EXPECT_EQ(failure.Description(), "Filled in when asked");
}

TEST_F(ComTest, ObjectsPassedAlongLeaveNoReferenceBehind) {
  const ComPtr<TestObject> object = TestObject::Make();
  {
    DispatchObject dictionary = DispatchObject::Create("Scripting.Dictionary");
    dictionary.Call("Add", "object", object);
    dictionary.Call("Add", object, "key");
    EXPECT_EQ(object->References(), 3u) << "the dictionary's, as value and key";
    const ComVariant item = dictionary.Get("Item", "object");
    EXPECT_EQ(object->References(), 4u);
    EXPECT_TRUE(dictionary.Call("Exists", object).ToBool());
    EXPECT_EQ(object->References(), 4u);
  }
  EXPECT_EQ(object->References(), 1u);
}

TEST_F(ComTest, NamesAreAskedOncePerType) {
  DispatchIdCache cache;
  const ComPtr<CountingWrapper> first = CountingWrapper::Around(DispatchObject::Create("Scripting.Dictionary").Interface());
  const ComPtr<CountingWrapper> second = CountingWrapper::Around(DispatchObject::Create("Scripting.Dictionary").Interface());
  DispatchObject one(first, cache);
  DispatchObject two(second, cache);
  one.Call("Add", "k", 1);
  EXPECT_EQ(one.Get("Count").ToInt32(), 1);
  two.Call("Add", "k", 1);
  two.Call("Add", "l", 2);
  EXPECT_EQ(two.Get("Count").ToInt32(), 2);
  EXPECT_EQ(first->lookups + second->lookups, 2) << "Add and Count, once each";
  EXPECT_EQ(cache.TypeCount(), 1u);
}

TEST_F(ComTest, AnObjectWithoutTypeInformationHasNamesOfItsOwn) {
  DispatchIdCache cache;
  const ComPtr<TestObject> first = TestObject::Make();
  const ComPtr<TestObject> second = TestObject::Make();
  DispatchObject one(first, cache);
  DispatchObject again(first, cache);
  DispatchObject two(second, cache);
  one.Put("Value", 1);
  again.Put("Value", 2);
  two.Put("Value", 3);
  EXPECT_EQ(one.Get("Value").ToInt32(), 2);
  EXPECT_EQ(first->lookups, 1);
  EXPECT_EQ(second->lookups, 1);
  EXPECT_EQ(cache.TypeCount(), 0u);
}

TEST(ComApartmentTest, RefusesAThreadOfAMultithreadedApartment) {
  long number = 0;
  std::thread([&] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    try {
      ComApartment apartment;
    } catch (const Error& failure) {
      number = failure.Number();
    }
    CoUninitialize();
  }).join();
  EXPECT_EQ(number, errc::kUnknown);
}

}  // namespace
}  // namespace dwl::win32::com
