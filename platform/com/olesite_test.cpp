#include "platform/com/olesite.h"

#include <gtest/gtest.h>

namespace {

// A site without ambient properties (no IDispatch).
class MuteSite final : public ComClass<IOleClientSite> {
  public:
    HRESULT SaveObject() override { return S_OK; }
    HRESULT GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT GetContainer(IOleContainer**) override { return E_NOTIMPL; }
    HRESULT ShowObject() override { return S_OK; }
    HRESULT OnShowWindow(BOOL) override { return S_OK; }
    HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }
};

}  // namespace

TEST(Ambient, UserModeRules) {
    EXPECT_TRUE(isAmbientUserMode(nullptr));  // not hosted: user mode

    ComPtr<AmbientSite> site = AmbientSite::create();
    EXPECT_TRUE(isAmbientUserMode(site.get()));
    site->setUserMode(false);
    EXPECT_FALSE(isAmbientUserMode(site.get()));

    // Anything but a TRUE VT_BOOL is design mode.
    site->setAmbient(DISPID_AMBIENT_USERMODE, Variant(int32_t{-1}));
    EXPECT_FALSE(isAmbientUserMode(site.get()));
    site->removeAmbient(DISPID_AMBIENT_USERMODE);
    EXPECT_FALSE(isAmbientUserMode(site.get()));
    ComPtr<MuteSite> mute = makeComObject<MuteSite>();
    EXPECT_FALSE(isAmbientUserMode(mute.get()));
}

TEST(Ambient, PropertiesByDispidAndByName) {
    ComPtr<AmbientSite> site = AmbientSite::create();
    Variant value;
    EXPECT_EQ(getAmbientProperty(site.get(), DISPID_AMBIENT_LOCALEID, &value), S_OK);
    EXPECT_EQ(value.vt, VT_I4);
    EXPECT_EQ(value.lVal, 1033);
    EXPECT_EQ(getAmbientProperty(site.get(), DISPID_AMBIENT_FONT, &value), DISP_E_MEMBERNOTFOUND);
    ComPtr<MuteSite> mute = makeComObject<MuteSite>();
    EXPECT_EQ(getAmbientProperty(mute.get(), DISPID_AMBIENT_USERMODE, &value), E_NOINTERFACE);
    EXPECT_EQ(getAmbientProperty(nullptr, DISPID_AMBIENT_USERMODE, &value), E_POINTER);

    site->setAmbient(DISPID_AMBIENT_DISPLAYNAME, Variant::fromUtf8("Wirran1"));
    EXPECT_EQ(dispGetProperty(site.get(), "displayname", &value), S_OK);
    EXPECT_EQ(value.utf8(), "Wirran1");
    EXPECT_EQ(dispGetProperty(site.get(), "UserMode", &value), S_OK);
    EXPECT_EQ(value.boolVal, VARIANT_TRUE);
    EXPECT_EQ(dispPutProperty(site.get(), "UserMode", Variant(false)), DISP_E_MEMBERNOTFOUND);
}

TEST(AmbientSite, AnswersTheSiteInterfacesOnly) {
    ComPtr<AmbientSite> site = AmbientSite::create();
    EXPECT_TRUE(site.as<IOleClientSite>());
    EXPECT_TRUE(site.as<IOleControlSite>());
    EXPECT_TRUE(site.as<IDispatch>());
    EXPECT_FALSE(site.as<IOleObject>());
    EXPECT_FALSE(site.as<IOleInPlaceObject>());
    site.as<IOleClientSite>()->ShowObject();
    site.as<IOleControlSite>()->OnControlInfoChanged();
    EXPECT_EQ(site->showObjectCalls(), 1);
    EXPECT_EQ(site->controlInfoChanges(), 1);
}

TEST(Himetric, ConvertsAtTheScreenResolution) {
    struct Case {
        LONG pixels;
        int dpi;
        LONG himetric;
    } cases[] = {{28, 96, 741}, {28, 120, 593}, {0, 96, 0}, {1, 96, 26}, {96, 96, 2540}};
    for (const Case& c : cases) {
        EXPECT_EQ(pixelsToHimetric(c.pixels, c.dpi), c.himetric) << c.pixels << "@" << c.dpi;
        EXPECT_EQ(himetricToPixels(c.himetric, c.dpi), c.pixels) << c.himetric << "@" << c.dpi;
    }
    EXPECT_EQ(pixelsToHimetric(28, 0), 0);
}
