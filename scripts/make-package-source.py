#!/usr/bin/env python3
"""Writes the installer source (WiX XML, for wixl) of one Dress package.

    scripts/make-package-source.py --arch x64|x86 --version V \
        --x64-dir DIR --x86-dir DIR > Dress.wxs

The registry entries come from the libraries' own registration table: the
class id, display name and handler-list key of each library are read from
its Deliverable constant (folder/dirdress.cpp, file/docdress.cpp,
drive/voldress.cpp) and the class id strings from framework/clsids.h, so
the package writes what DllRegisterServer writes:
    HKCR\\CLSID\\{clsid}                     (default) = display name
    HKCR\\CLSID\\{clsid}\\InProcServer32     (default) = installed path,
                                            ThreadingModel = Apartment
    HKCR\\<handler list>\\{clsid}            (an empty key)
    HKLM\\...\\Shell Extensions\\Approved    {clsid} = display name
each in the registry view of the library's architecture.

The x64 package carries the x64 libraries and their help file in the 64-bit
Program Files folder and the x86 ones in the 32-bit folder; the x86 package
carries the x86 libraries only. One feature per library; dress.exe of the
package's architecture lies in its install folder and comes with every
feature, like the help file.
"""

import argparse
import os
import re
import sys
import uuid
from xml.sax.saxutils import quoteattr

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

LIBRARIES = [  # (name, source of its Deliverable constant, feature description)
    ("DirDress", "folder/dirdress.cpp", 'The "Customize Ex" tab of folders: icon, InfoTip and label.'),
    ("DocDress", "file/docdress.cpp",
     'The "Customize" tab of files, and the icon and InfoTip handlers of the file types it is switched on for.'),
    ("VolDress", "drive/voldress.cpp", 'The "Customize" tab of drives: icon and label.'),
]
HELP_FILE = "QLNHELP.chm"
PROGRAM_FILE = "dress.exe"
APPROVED_KEY = r"SOFTWARE\Microsoft\Windows\CurrentVersion\Shell Extensions\Approved"

# Fixed for the life of the product: packages of one architecture upgrade
# one another. Component ids are derived from this namespace, so every build
# gives a component the same id.
UPGRADE_CODES = {
    "x64": "DCD0BC16-12E3-4079-9281-CDB1DDCFC863",
    "x86": "BDECC8E5-4469-4A30-ABBD-F8493968D873",
}
COMPONENT_NAMESPACE = uuid.UUID("E09D88FF-7050-404F-B77E-C39E336AFA34")

PRODUCT_NAME = "Quillon Dress"
MANUFACTURER = "Quillon"


def c_string(text):
    """The value of a C wide-string literal's body (only \\\\ and \\" occur)."""
    return re.sub(r'\\(.)', r'\1', text)


def read_libraries():
    with open(os.path.join(ROOT, "framework", "clsids.h"), encoding="utf-8") as f:
        clsid_strings = dict(re.findall(r'#define\s+(\w+_CLSID_STRING)\s+L"(\{[0-9A-Fa-f-]+\})"', f.read()))
    libraries = []
    for name, source, description in LIBRARIES:
        with open(os.path.join(ROOT, source), encoding="utf-8") as f:
            text = f.read()
        m = re.search(r'const\s+Deliverable\s+ThisDeliverable\s*=\s*\{\s*&\w+\s*,\s*(\w+)\s*,'
                      r'\s*L"((?:[^"\\]|\\.)*)"\s*,\s*L"((?:[^"\\]|\\.)*)"', text)
        if not m or m.group(1) not in clsid_strings:
            sys.exit(f"{source}: no Deliverable constant with a class id, display name and handler list")
        libraries.append({
            "name": name,
            "description": description,
            "clsid": clsid_strings[m.group(1)].upper(),
            "display": c_string(m.group(2)),
            "handler_list": c_string(m.group(3)),
        })
    return libraries


def component_guid(arch, component):
    return str(uuid.uuid5(COMPONENT_NAMESPACE, f"Dress/{arch}/{component}")).upper()


def registry_value(root, key, name, value):
    attrs = f'Root="{root}" Key={quoteattr(key)} Type="string"'
    if name is not None:
        attrs += f" Name={quoteattr(name)}"
    if value is not None:
        attrs += f" Value={quoteattr(value)}"
    return f"<RegistryValue {attrs}/>"


def library_component(lib, arch, source_dir):
    """The library's file and the keys DllRegisterServer writes for it."""
    cid = f'{lib["name"]}_{arch}'
    clsid = lib["clsid"]
    lines = [
        f'<Component Id="{cid}" Guid="{component_guid(arch, lib["name"])}" Win64="{"yes" if arch == "x64" else "no"}">',
        f'  <File Id="{cid}" Name="{lib["name"]}.dll" Source={quoteattr(os.path.join(source_dir, lib["name"] + ".dll"))} KeyPath="yes"/>',
        "  " + registry_value("HKCR", f"CLSID\\{clsid}", None, lib["display"]),
        "  " + registry_value("HKCR", f"CLSID\\{clsid}\\InProcServer32", None, f"[#{cid}]"),
        "  " + registry_value("HKCR", f"CLSID\\{clsid}\\InProcServer32", "ThreadingModel", "Apartment"),
        # "*": the key itself, created on install and deleted on removal.
        "  " + registry_value("HKCR", f'{lib["handler_list"]}\\{clsid}', "*", ""),
        "  " + registry_value("HKLM", APPROVED_KEY, clsid, lib["display"]),
        "</Component>",
    ]
    return lines


def help_component(arch, source_dir):
    cid = f"Help_{arch}"
    return [
        f'<Component Id="{cid}" Guid="{component_guid(arch, "Help")}" Win64="{"yes" if arch == "x64" else "no"}">',
        f'  <File Id="{cid}" Name="{HELP_FILE}" Source={quoteattr(os.path.join(source_dir, HELP_FILE))} KeyPath="yes"/>',
        "</Component>",
    ]


def program_component(arch, source_dir):
    """dress.exe of the package's own architecture, in its install folder."""
    cid = f"Program_{arch}"
    return [
        f'<Component Id="{cid}" Guid="{component_guid(arch, "Program")}" Win64="{"yes" if arch == "x64" else "no"}">',
        f'  <File Id="{cid}" Name="{PROGRAM_FILE}" Source={quoteattr(os.path.join(source_dir, PROGRAM_FILE))} KeyPath="yes"/>',
        "</Component>",
    ]


def indent(lines, depth):
    return ["  " * depth + line for line in lines]


def package_source(arch, version, dirs):
    libraries = read_libraries()
    fields = [int(f) for f in version.split(".")] + [0, 0, 0]
    same_from = "%d.%d.%d" % tuple(fields[:3])
    same_below = "%d.%d.%d" % (fields[0], fields[1], fields[2] + 1)
    # (directory id, Program Files folder, architecture of what lies in it)
    if arch == "x64":
        folders = [("INSTALLDIR", "ProgramFiles64Folder", "x64"), ("INSTALLDIR32", "ProgramFilesFolder", "x86")]
        system_folder = "System64Folder"
    else:
        folders = [("INSTALLDIR", "ProgramFilesFolder", "x86")]
        system_folder = "SystemFolder"

    out = [
        '<?xml version="1.0" encoding="utf-8"?>',
        "<!-- Written by scripts/make-package-source.py; do not edit. -->",
        '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">',
        f'  <Product Id="*" Name="{PRODUCT_NAME}" Language="1033" Version="{version}"'
        f' Manufacturer="{MANUFACTURER}" UpgradeCode="{UPGRADE_CODES[arch]}">',
        f'    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"'
        f' Manufacturer="{MANUFACTURER}" Description="{PRODUCT_NAME} {version} ({arch})"'
        f' Comments="Shell extensions: folder, file and drive customization tabs."/>',
        '    <Media Id="1" Cabinet="dress.cab" EmbedCab="yes"/>',
        # An older version is removed once this one is installed (one entry
        # in Programs and Features; see RemoveExistingProducts below); a newer
        # one refuses the older package.
        f'    <MajorUpgrade DowngradeErrorMessage="A newer version of {PRODUCT_NAME} is already installed."/>',
        # Another build of the same version replaces the installed one too
        # (each build has its own product code), so there is never a second
        # entry of one version.
        # Windows Installer compares the first three fields of a version:
        # "the same version" is from a.b.c up to, not including, a.b.(c+1).
        f'    <Upgrade Id="{UPGRADE_CODES[arch]}">',
        f'      <UpgradeVersion Minimum="{same_from}" Maximum="{same_below}" IncludeMinimum="yes"'
        ' Property="DRESS_SAME_VERSION_FOUND"/>',
        "    </Upgrade>",
    ]
    if arch == "x86":
        out.append(f'    <Condition Message="This package is for 32-bit Windows. On 64-bit Windows install the x64 package,'
                   f' which also brings the x86 libraries.">NOT VersionNT64</Condition>')
    out += [
        # The support link of Programs and Features opens the installed help file.
        '    <CustomAction Id="SetHelpLink" Property="ARPHELPLINK" Value="[INSTALLDIR]QLNHELP.chm"/>',
        '    <CustomAction Id="SetInstallLocation" Property="ARPINSTALLLOCATION" Value="[INSTALLDIR]"/>',
        # Installing the installed package again, with no feature choice,
        # repairs it: missing or damaged files and keys are put back.
        '    <CustomAction Id="RepairWhenInstalled" Property="REINSTALL" Value="ALL"/>',
        # Removing DocDress runs its own unregistration first, while its
        # files and keys are still in place: it also switches off the file
        # types whose icon or InfoTip handler names it. Only when the
        # library's component is really going away (see the condition
        # below): an upgrade or a repair keeps the types as they are.
        f'    <CustomAction Id="SetRegsvr32" Property="DRESS_REGSVR32" Value="[{system_folder}]regsvr32.exe"/>',
        '    <CustomAction Id="UnregisterDocDress" Property="DRESS_REGSVR32" ExeCommand=\'/s /u "[INSTALLDIR]DocDress.dll"\''
        ' Execute="deferred" Impersonate="no" Return="ignore"/>',
        "    <InstallExecuteSequence>",
        '      <Custom Action="RepairWhenInstalled" Sequence="990">Installed AND NOT (REMOVE OR REINSTALL OR ADDLOCAL'
        " OR ADDSOURCE OR ADDDEFAULT OR ADVERTISE)</Custom>",
        '      <Custom Action="SetHelpLink" Sequence="1001"/>',
        '      <Custom Action="SetInstallLocation" Sequence="1003"/>',
        '      <Custom Action="SetRegsvr32" Sequence="1002"/>',
        # After InstallInitialize (1500), before RemoveRegistryValues (2600).
        # "$DocDress_<arch>=2": the installer is removing the component that
        # holds the library (wixl reads "$$" as "$"). A component that
        # another installed product also holds is never removed, and its
        # action is left unset. UPGRADINGPRODUCTCODE, which Windows sets
        # while an upgrade removes the older product, is a second guard:
        # Wine's msiexec removes it with "REMOVE=ALL" alone.
        '      <Custom Action="UnregisterDocDress" Sequence="2550">'
        f"$$DocDress_{arch}=2 AND NOT UPGRADINGPRODUCTCODE</Custom>",
        # The older product is removed after this one's components are
        # registered (InstallExecute runs the script so far). The component
        # ids stay the same from version to version, so the components both
        # products hold stay, with this version's files and keys, and the
        # older product's removal leaves DocDress's file types alone.
        '      <InstallExecute Sequence="6500"/>',
        '      <RemoveExistingProducts Sequence="6550"/>',
        "    </InstallExecuteSequence>",
        '    <Directory Id="TARGETDIR" Name="SourceDir">',
    ]
    for directory_id, parent, folder_arch in folders:
        body = help_component(folder_arch, dirs[folder_arch])
        if folder_arch == arch:
            body += program_component(folder_arch, dirs[folder_arch])
        for lib in libraries:
            body += library_component(lib, folder_arch, dirs[folder_arch])
        out += [f'      <Directory Id="{parent}">', f'        <Directory Id="{directory_id}" Name="Dress">']
        out += indent(body, 5)
        out += ["        </Directory>", "      </Directory>"]
    out.append("    </Directory>")
    for lib in libraries:
        out.append(f'    <Feature Id="{lib["name"]}" Title="{lib["name"]}" Description={quoteattr(lib["description"])} Level="1">')
        for _, _, folder_arch in folders:
            out.append(f'      <ComponentRef Id="{lib["name"]}_{folder_arch}"/>')
            out.append(f'      <ComponentRef Id="Help_{folder_arch}"/>')
        # The command-line program comes with whichever libraries are chosen.
        out.append(f'      <ComponentRef Id="Program_{arch}"/>')
        out.append("    </Feature>")
    out += ["  </Product>", "</Wix>", ""]
    return "\n".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--arch", choices=["x64", "x86"], required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--x64-dir")
    parser.add_argument("--x86-dir", required=True)
    args = parser.parse_args()
    if args.arch == "x64" and not args.x64_dir:
        parser.error("the x64 package needs --x64-dir")
    # wixl finds sources relative to the folder it runs in, never by an
    # absolute path: the folders are passed on as they were given.
    dirs = {"x64": args.x64_dir, "x86": args.x86_dir}
    sys.stdout.write(package_source(args.arch, args.version, dirs))


if __name__ == "__main__":
    main()
