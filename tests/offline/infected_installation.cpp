#include "offline/infected_installation.h"

#include "contract/worm_footprint.h"
#include "offline/hive_builder.h"
#include "specimens/specimens.h"

namespace offline_test {
namespace {

PlantedFile worm(const std::string& path, int record) {
  specimens::Specimen specimen = *specimens::build(record, specimens::Variant::Plain);
  return {path, specimen.bytes, specimens::record(record).virusName};
}

void plantRegistry(InstallationTree& tree) {
  for (const footprint::RegistryEntry& value : footprint::wormValues()) tree.plant(value);
  for (const footprint::RegistryEntry& decoy : footprint::decoyValues()) tree.plant(decoy, "decoy");
  // As the variants leave them: in one control set or both, in any letter case.
  tree.addService("RpcTftpd", R"(C:\WINDOWS\system32\rpctftpd.exe)", {1, 2});
  tree.addService("RPCPATCH", R"(C:\WINDOWS\system32\rpcpatch.exe)", {2});
  tree.addService("WksPatch", R"(C:\WINDOWS\system32\wkspatch.exe)", {1});
  tree.addService(footprint::kDecoyService, R"(C:\helper.exe)", {1, 2});
}

}  // namespace

std::string windowsPath(const std::string& relative) { return "C:\\" + relative; }

Infection plantInfection(InstallationTree& tree) {
  Infection infection;
  const std::string windows = tree.windowsFolder();
  bool nineX = tree.layout() == Layout::kNineX;
  // The system folder as the layout spells it (system32, System32, SYSTEM).
  std::string config = tree.configFolder();
  std::string system = nineX ? windows + "\\SYSTEM" : config.substr(0, config.rfind('\\'));
  std::string temp = windows + (nineX ? "\\TEMP" : "\\Temp");

  infection.inScope.push_back(worm(system + "\\msblast.exe", 1));
  infection.inScope.push_back(worm(system + "\\drivers\\worm-b.exe", 8));
  infection.inScope.push_back(worm(temp + "\\worm-c.exe", 3));
  // A 95/98/Me tree has no profiles of its own.
  for (std::size_t i = 0; !nineX && i < tree.users().size(); ++i) {
    const std::string& user = tree.users()[i];
    infection.inScope.push_back(
        worm(tree.userTemp(user) + (i % 2 == 0 ? "\\worm-d.exe" : "\\deep\\er\\worm-e.exe"),
             i % 2 == 0 ? 6 : 7));
    infection.outOfScope.push_back(worm(tree.profileFolder(user) + "\\Desktop\\msblast.exe", 1));
  }
  infection.outOfScope.push_back(worm("Program Files\\Tools\\msblast.exe", 1));
  infection.outOfScope.push_back(worm("msblast.exe", 2));

  infection.clean.push_back({system + "\\kernel32.dll", "MZ not a worm", ""});
  infection.clean.push_back({temp + "\\notes.txt", "text", ""});
  specimens::Specimen nearMiss = specimens::nearMisses(1).front();
  infection.clean.push_back({system + "\\" + nearMiss.name, nearMiss.bytes, ""});

  for (const auto* files : {&infection.inScope, &infection.outOfScope, &infection.clean}) {
    for (const PlantedFile& file : *files) tree.addFile(file.path, file.bytes);
  }
  if (!nineX) plantRegistry(tree);
  return infection;
}

std::string registryProblemsAfterRescue(const InstallationTree& tree) {
  std::string problems;
  for (const footprint::RegistryEntry& value : footprint::wormValues()) {
    if (tree.hasAnywhere(value)) problems += "worm value left: '" + value.name + "'\n";
  }
  for (const footprint::RegistryEntry& decoy : footprint::decoyValues()) {
    if (!tree.hasEverywhere(decoy)) problems += "decoy gone: '" + decoy.name + "'\n";
  }
  for (const std::string& service : footprint::wormServiceNames()) {
    if (tree.controlSetsWithService(service) != 0) problems += "service left: " + service + "\n";
  }
  if (tree.controlSetsWithService(footprint::kDecoyService) !=
      static_cast<int>(tree.controlSets().size())) {
    problems += "decoy service gone\n";
  }
  std::vector<std::string> hives = {tree.softwareHive(), tree.systemHive(), tree.defaultHive()};
  for (const std::string& hive : tree.userHives()) hives.push_back(hive);
  for (const std::string& hive : hives) {
    if (!tree.lookInHive(hive, [](hive_h*) {})) problems += "hivex cannot open " + hive + "\n";
  }
  return problems;
}

}  // namespace offline_test
