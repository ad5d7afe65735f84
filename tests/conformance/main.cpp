// The conformance program on Windows, or on Wine: the system's own libraries.
#include "conformance.h"

namespace conformance {

// Wine's ntdll exports its version; Windows' does not.
bool UnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace conformance

int main(int argc, char** argv) { return conformance::Run(argc, argv); }
