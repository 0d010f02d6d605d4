#include "platform/win32/com/DispatchObject.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/Error.h"
#include "platform/win32/com/ComApartment.h"
#include "platform/win32/com/ComString.h"
#include "tests/platform/win32/CaughtError.h"

namespace dwl::win32::com {
namespace {

using Microsoft::WRL::ComPtr;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// An object without type information, or (Make(inner)) another object's face;
// either way it counts its references and the names asked of it. Double(n)
// doubles n, in place when n comes by reference; Join(args...) joins their
// texts; Fail and FailLater raise exceptions, the second through deferred
// fill-in; Value is a property.
class TestObject final : public IDispatch {
 public:
  // mingw-w64's ComPtr adds the first reference itself.
  static ComPtr<TestObject> Make(ComPtr<IDispatch> inner = nullptr) { return ComPtr<TestObject>(new TestObject(inner)); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ? static_cast<IDispatch*>(this) : nullptr;
    return *out ? (AddRef(), S_OK) : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references ? references : (delete this, 0u); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    return inner_ ? inner_->GetTypeInfoCount(count) : (*count = 0, S_OK);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** type) override {
    return inner_ ? inner_->GetTypeInfo(index, locale, type) : DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override {
    ++lookups;
    if (inner_) return inner_->GetIDsOfNames(iid, names, count, locale, ids);
    static const std::wstring members[] = {L"Double", L"Join", L"Fail", L"FailLater", L"Value"};
    ids[0] = DISPID_UNKNOWN;  // asked one at a time
    for (DISPID m = 0; m < 5; ++m) ids[0] = members[m] == names[0] ? m + 1 : ids[0];
    return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT* badArgument) override {
    if (inner_) return inner_->Invoke(id, iid, locale, flags, params, result, exception, badArgument);
    lastFlags = flags;
    arguments.clear();  // in the caller's order
    for (UINT i = params->cArgs; i-- > 0;) VariantCopy(arguments.emplace_back().Receive(), &params->rgvarg[i]);
    ComVariant answer;
    switch (id) {
      case 1:
        VariantCopyInd(answer.Receive(), &params->rgvarg[0]);
        answer = ComVariant(answer.ToInt32() * 2);
        if (params->rgvarg[0].vt == (VT_BYREF | VT_VARIANT)) VariantCopy(params->rgvarg[0].pvarVal, answer.InOut());
        return VariantCopy(result, answer.InOut());
      case 2:
        for (const ComVariant& argument : arguments) answer = ComVariant(answer.ToText() + argument.ToText() + ",");
        return VariantCopy(result, answer.InOut());
      case 3:
        exception->scode = E_FAIL;
        exception->bstrSource = ComString("TestObject").Release();
        exception->bstrDescription = ComString("Nothing to do here").Release();
        return DISP_E_EXCEPTION;
      case 4: exception->pfnDeferredFillIn = &FillIn; return DISP_E_EXCEPTION;
      case 5:
        if (!(flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))) return VariantCopy(result, value_.InOut());
        if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) return DISP_E_PARAMNOTOPTIONAL;
        value_ = arguments.back().Copy();  // the named value comes first in rgvarg
        return S_OK;
      default: return DISP_E_MEMBERNOTFOUND;
    }
  }

  ULONG references = 0;
  int lookups = 0;
  WORD lastFlags = 0;
  std::vector<ComVariant> arguments;

 private:
  explicit TestObject(ComPtr<IDispatch> inner) : inner_(std::move(inner)) {}
  static HRESULT STDMETHODCALLTYPE FillIn(EXCEPINFO* exception) {
    exception->wCode = 1234;
    exception->bstrSource = ComString("TestObject later").Release();
    exception->bstrDescription = ComString("Filled in when asked").Release();
    return S_OK;
  }

  ComPtr<IDispatch> inner_;
  ComVariant value_;
};

class ComTest : public ::testing::Test {
 protected:
  ComApartment apartment;
  DispatchObject dictionary = DispatchObject::Create("Scripting.Dictionary");
};

TEST_F(ComTest, VariantsReadAsTheHostsRuntimeReadsThem) {
  const std::string withNul("Grüße\0€", 11);
  EXPECT_EQ(ComVariant(withNul).ToText(), withNul) << "UTF-8 both ways; a BSTR keeps its length";
  EXPECT_EQ(ComVariant(true).ToText(), "True");
  EXPECT_FALSE(ComVariant("False").ToBool());
  EXPECT_EQ(ComVariant().ToObject(), nullptr);
  EXPECT_EQ(testing::CaughtError([] { ComVariant("abc").ToInt32(); }).Number(), errc::kTypeMismatch);
  EXPECT_EQ(testing::CaughtError([] { ComVariant(3e10).ToInt32(); }).Number(), errc::kOverflow);
  EXPECT_EQ(testing::CaughtError([] { ComVariant("x").ToArray(); }).Number(), errc::kTypeMismatch);
}

TEST_F(ComTest, ReferencesAreHeldOnceAndNoneLeftBehind) {
  const ComPtr<TestObject> object = TestObject::Make();
  {
    ComVariant held(object);
    ComVariant moved(std::move(held));
    const ComVariant copy = moved.Copy();
    EXPECT_EQ(object->references, 3u);
    VARIANT given = moved.Release();
    VariantClear(&given);
    EXPECT_EQ(object->references, 2u);

    dictionary.Call("Add", "object", object);
    dictionary.Call("Add", object, "key");
    EXPECT_EQ(object->references, 4u) << "the dictionary's, as value and key";
    const ComVariant item = dictionary.Get("Item", "object");
    EXPECT_EQ(object->references, 5u);
    dictionary = DispatchObject();
  }
  EXPECT_EQ(object->references, 1u);
}

TEST_F(ComTest, TheDictionaryKeepsTextNumberBooleanAndObjectValues) {
  DispatchObject other = DispatchObject::Create("Scripting.Dictionary");
  const ComVariant key("text");  // lent to the call, not given away
  dictionary.Call("Add", key, "Grüße");
  EXPECT_EQ(key.ToText(), "text");
  dictionary.Call("Add", 1, 2.5);
  dictionary.Call("Add", other.Interface(), "by object");
  dictionary.Put("Item", 2.5, true);
  dictionary.Put("Item", "object", other.Interface());
  EXPECT_EQ(dictionary.Get("Count").ToInt32(), 5);

  EXPECT_EQ(dictionary.Get("Item", "text").ToText(), "Grüße");
  EXPECT_DOUBLE_EQ(dictionary.Get("Item", 1).ToDouble(), 2.5);
  const ComVariant flag = dictionary.Get("Item", 2.5);
  EXPECT_EQ(flag.Type(), VT_BOOL);
  EXPECT_TRUE(flag.ToBool());
  EXPECT_EQ(dictionary.Get("Item", "object").ToObject().Get(), other.Interface().Get());
  EXPECT_EQ(dictionary.Get("Item", other.Interface()).ToText(), "by object");

  const std::vector<ComVariant> keys = dictionary.Call("Keys").ToArray();
  ASSERT_EQ(keys.size(), 5u);
  EXPECT_EQ(keys[0].ToText(), "text");
  EXPECT_EQ(keys[1].Type(), VT_I4);
  EXPECT_EQ(keys[4].ToText(), "object");
  EXPECT_TRUE(other.Call("Keys").ToArray().empty());
}

TEST_F(ComTest, FailuresAreNumberedAndNameTheMemberOrKeepTheObjectsWords) {
  Error failure = testing::CaughtError([&] { dictionary.Get("Colour"); });
  EXPECT_EQ(failure.Number(), errc::kMemberNotSupported);
  EXPECT_EQ(failure.Description(), "Object doesn't support this property or method: Colour");
  EXPECT_EQ(failure.Source(), "DispatchObject.Colour");
  // There, but not as asked: Keys is a method, not a property to set.
  failure = testing::CaughtError([&] { dictionary.Put("Keys", 1); });
  EXPECT_EQ(failure.Number(), errc::kMemberNotSupported);

  failure = testing::CaughtError([&] { dictionary.Call("Add", "a key without a value"); });
  EXPECT_EQ(failure.Number(), errc::kInvalidCall);
  EXPECT_TRUE(Contains(failure.Description(), "Add")) << failure.Description();
  failure = testing::CaughtError([&] { dictionary.Put("CompareMode", "sideways"); });
  EXPECT_EQ(failure.Number(), errc::kTypeMismatch);
  EXPECT_TRUE(Contains(failure.Description(), "CompareMode")) << failure.Description();
  failure = testing::CaughtError([] { DispatchObject::Create("Dropwell.NoSuchClass"); });
  EXPECT_TRUE(Contains(failure.Description(), "Dropwell.NoSuchClass")) << failure.Description();
  EXPECT_EQ(testing::CaughtError([] { DispatchObject().Get("Count"); }).Number(), errc::kInvalidCall);

  DispatchObject object(TestObject::Make());
  failure = testing::CaughtError([&] { object.Call("Fail"); });
  EXPECT_EQ(failure.Number(), errc::kUnknown);
  EXPECT_EQ(failure.Source(), "TestObject");
  EXPECT_EQ(failure.Description(), "Nothing to do here");

  failure = testing::CaughtError([&] { object.Call("FailLater"); });
  EXPECT_EQ(failure.Number(), 1234);
  EXPECT_EQ(failure.Source(), "TestObject later");
  EXPECT_EQ(failure.Description(), "Filled in when asked");

  dictionary.Call("Add", "key", 1);
  failure = testing::CaughtError([&] { dictionary.Call("Add", "key", 2); });
  EXPECT_EQ(failure.Number(), 457) << "a control's code is the runtime's number";
}

TEST_F(ComTest, ArgumentsArriveInOrderByReferenceComeBackChangedAndPutsNameTheirValue) {
  const ComPtr<TestObject> own = TestObject::Make();
  DispatchObject object(own);
  EXPECT_EQ(object.Call("Join", "a", 2, true, 2.5).ToText(), "a,2,True,2.5,");

  ComVariant number("21");
  EXPECT_EQ(object.Call("Double", ByRef(number)).ToInt32(), 42);
  EXPECT_EQ(number.ToInt32(), 42);
  const ComVariant kept(5);
  EXPECT_EQ(object.Call("Double", kept).ToInt32(), 10);
  EXPECT_EQ(kept.ToInt32(), 5);

  object.Put("Value", "text");
  EXPECT_EQ(own->lastFlags, DISPATCH_PROPERTYPUT);
  EXPECT_EQ(object.Get("Value").ToText(), "text");
  EXPECT_EQ(own->lastFlags, DISPATCH_PROPERTYGET);
  const ComPtr<TestObject> other = TestObject::Make();
  object.PutRef("Value", other);
  EXPECT_EQ(own->lastFlags, DISPATCH_PROPERTYPUTREF);
  EXPECT_EQ(object.Get("Value").ToObject().Get(), static_cast<IDispatch*>(other.Get()));
}

TEST_F(ComTest, NamesAreAskedOncePerTypeOrPerObjectWithoutOne) {
  DispatchIdCache cache;
  const ComPtr<TestObject> first = TestObject::Make(DispatchObject::Create("Scripting.Dictionary").Interface());
  const ComPtr<TestObject> second = TestObject::Make(DispatchObject::Create("Scripting.Dictionary").Interface());
  DispatchObject(first, cache).Call("Add", "k", 1);
  DispatchObject two(second, cache);
  two.Call("Add", "l", 2);
  EXPECT_EQ(two.Get("Count").ToInt32(), 1);
  EXPECT_EQ(first->lookups + second->lookups, 2) << "Add and Count, once each";
  EXPECT_EQ(cache.TypeCount(), 1u);

  const ComPtr<TestObject> typeless = TestObject::Make();
  const ComPtr<TestObject> another = TestObject::Make();
  DispatchObject one(typeless, cache), again(typeless, cache), three(another, cache);
  one.Put("Value", 1);
  again.Put("Value", 2);
  three.Put("Value", 3);
  EXPECT_EQ(typeless->lookups, 1);
  EXPECT_EQ(another->lookups, 1);
  EXPECT_EQ(cache.TypeCount(), 1u) << "no type for objects without one";
}

TEST(ComApartmentTest, RefusesAThreadOfAMultithreadedApartment) {
  long number = 0;
  std::thread([&] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    number = testing::CaughtError([] { ComApartment apartment; }).Number();
    CoUninitialize();
  }).join();
  EXPECT_EQ(number, errc::kUnknown);
}

}  // namespace
}  // namespace dwl::win32::com
