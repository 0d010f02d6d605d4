# The add-in's registration as the Wine user's registry holds it, shared by
# the tests that register it (regsvr32, the MSI). Source it after defining
# fail() and reg() (Wine's reg.exe of the build's bitness, output as UTF-8).
clsid='{B0F665BD-45B0-41ED-A2B2-02A3BAB63B4C}'
classes='HKCU\Software\Classes'
addin_key='HKCU\Software\Microsoft\Office\Outlook\Addins\DWLOutlookAddin.Connect'
# The data of one value (/ve for the default one) of a key, or "".
value() { reg query "$1" "${@:2}" | sed -n 's/^ *\(([^)]*)\|[A-Za-z]*\) \+REG_[A-Z_]* \+//p' | head -n 1; }
# Fails unless every key points the add-in's class at the DLL `$1` (a Windows path).
check_addin_keys() {
  local dll="$1"
  [ "$(value "$classes\\DWLOutlookAddin.Connect\\CLSID" /ve)" = "$clsid" ] ||
    fail "the ProgID's CLSID: $(reg query "$classes\\DWLOutlookAddin.Connect" /s)"
  [ "$(value "$classes\\CLSID\\$clsid\\InprocServer32" /ve)" = "$dll" ] ||
    fail "InprocServer32: $(value "$classes\\CLSID\\$clsid\\InprocServer32" /ve), expected $dll"
  [ "$(value "$classes\\CLSID\\$clsid\\InprocServer32" /v ThreadingModel)" = Apartment ] || fail "ThreadingModel"
  [ "$(value "$classes\\CLSID\\$clsid\\ProgID" /ve)" = DWLOutlookAddin.Connect ] || fail "the class's ProgID"
  [ "$(value "$addin_key" /v FriendlyName)" = "Dropwell Outlook AddIn" ] || fail "FriendlyName: $(reg query "$addin_key")"
  [ "$(value "$addin_key" /v Description)" = "Enables Outlook to use the Dropwell service." ] || fail "Description"
  reg query "$addin_key" /v LoadBehavior | grep -q 'LoadBehavior *REG_DWORD *0x3$' ||
    fail "LoadBehavior: $(reg query "$addin_key")"
}
