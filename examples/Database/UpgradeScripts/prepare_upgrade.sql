-- Records that an upgrade has started, so that a later run can tell an interrupted one.
IF OBJECT_ID('dbo.UpgradeHistory') IS NULL
    CREATE TABLE dbo.UpgradeHistory (
        id int IDENTITY(1,1) PRIMARY KEY,
        startedAt datetime NOT NULL DEFAULT GETDATE(),
        finishedAt datetime NULL,
        fromRelease int NOT NULL
    );
GO
INSERT INTO dbo.UpgradeHistory (fromRelease) VALUES (16);
GO
