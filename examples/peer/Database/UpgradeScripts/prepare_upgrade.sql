-- Records that an upgrade has started, so that a later run can tell an interrupted one.
IF OBJECT_ID('dbo.ExecutedScripts') IS NULL CREATE TABLE dbo.ExecutedScripts (id INT IDENTITY(1,1) PRIMARY KEY, name NVARCHAR(256) NOT NULL, ranAt DATETIME NOT NULL DEFAULT GETDATE());
INSERT INTO dbo.ExecutedScripts (name) VALUES (N'prepare_upgrade.sql');
IF OBJECT_ID('dbo.UpgradeHistory') IS NULL CREATE TABLE dbo.UpgradeHistory (id INT IDENTITY(1,1) PRIMARY KEY, startedAt DATETIME NOT NULL DEFAULT GETDATE(), finishedAt DATETIME NULL, fromRelease INT NOT NULL);
INSERT INTO dbo.UpgradeHistory (fromRelease) VALUES (16);
GO
