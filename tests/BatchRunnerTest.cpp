#include "app/BatchRunner.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace pasavel;

namespace {

struct BatchResult {
    int exitCode;
    std::string out;
    std::string err;
};

BatchResult runCli(const std::vector<std::string>& arguments)
{
    std::ostringstream out;
    std::ostringstream err;
    const int exitCode = runBatch(arguments, "/usr/bin/pasavel-cli", out, err);
    return {exitCode, out.str(), err.str()};
}

} // namespace

TEST(BatchRunner, UsageAndExitCodes)
{
    test::TemporaryDirectory directory;
    test::writeBytes(directory / "centro.xml", "<SERVICIO><BLOQUE_DATOS/></SERVICIO>");
    test::writeBytes(directory / "roto.xml", "<SERVICIO>");
    const std::string vtemp = directory.path().string();

    EXPECT_EQ(runCli({"--help"}).exitCode, batchCompleted);
    EXPECT_NE(runCli({"--version"}).out.find("pasavel-cli"), std::string::npos);
    EXPECT_EQ(runCli({}).exitCode, batchUsage);
    EXPECT_EQ(runCli({"convertir", "x.xml"}).exitCode, batchUsage);
    EXPECT_EQ(runCli({"exportar", "x.xml", "--vtemp"}).exitCode, batchUsage);
    EXPECT_EQ(runCli({"importar", "x.xml", "--marcos", "1"}).exitCode, batchUsage);

    const BatchResult missing = runCli({"exportar", (directory / "no.xml").string(), "--vtemp", vtemp});
    EXPECT_EQ(missing.exitCode, batchFailed);
    EXPECT_EQ(missing.out, "No existe archivo\n");

    const BatchResult broken = runCli({"exportar", (directory / "roto.xml").string(), "--vtemp", vtemp});
    EXPECT_EQ(broken.exitCode, batchFailed);
    EXPECT_NE(broken.err.find("no es un documento XML válido"), std::string::npos) << broken.err;

    const BatchResult completed = runCli({"exportar", (directory / "centro.xml").string(), "--vtemp", vtemp});
    EXPECT_EQ(completed.exitCode, batchCompleted) << completed.err;
    EXPECT_TRUE(completed.out.ends_with("Proceso finalizado\n"));
}
